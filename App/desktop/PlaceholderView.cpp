#include "App/desktop/PlaceholderView.h"

#include "Classes/screens/SuperController.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvaneh {

PlaceholderView::PlaceholderView(std::shared_ptr<SuperController> screen, QWidget* parent)
    : QWidget(parent), screen_(std::move(screen)) {
    setObjectName(QString::fromStdString(screen_->screenName()));
    setAccessibleName(QString::fromStdString(screen_->title()));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(
        QString::fromStdString(screen_->title().empty() ? screen_->screenName() : screen_->title()));
    title->setObjectName("titreProvisoire");
    title->setAccessibleName(title->text());
    title->setAlignment(Qt::AlignCenter);
    auto* note = new QLabel("Cet écran n'est pas encore disponible dans l'application de bureau.");
    note->setObjectName("noteProvisoire");
    note->setAccessibleName(note->text());
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    layout->addStretch();
    layout->addWidget(title);
    layout->addWidget(note);
    layout->addStretch();
}

} // namespace orvaneh
