#include "App/desktop/SendProgressView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace orvaneh {

SendProgressView::SendProgressView(QWidget* parent)
    : QWidget(parent), text_(new QLabel(this)), bar_(new QProgressBar(this)) {
    setObjectName("progressionEnvoi");
    setAccessibleName("Progression de l'envoi");
    setToolTip("L'envoi des dictées se poursuit en arrière-plan");
    text_->setObjectName("texteEnvoi");
    bar_->setObjectName("barreEnvoi");
    bar_->setAccessibleName("Fichiers envoyés");
    bar_->setMaximumWidth(160);
    bar_->setTextVisible(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    hide();

    auto& center = NotificationCenter::defaultCenter();
    opened_ = center.addMainLoopObserver("EnvoiOpen", [this](const PostedNotification&) { started(); });
    progressed_ = center.addMainLoopObserver(
        "EnvoiProgress", [this](const PostedNotification& notice) { stepped(notice.userInfo); });
    closed_ = center.addMainLoopObserver("EnvoiClose", [this](const PostedNotification&) { stopped(); });
    ended_ = center.addMainLoopObserver("EnvoiFin", [this](const PostedNotification&) { stopped(); });
}

void SendProgressView::started() {
    text_->setText("Envoi en cours…");
    bar_->setRange(0, 0); // busy until the transport tells more
    setAccessibleDescription(text_->text());
    show();
}

void SendProgressView::stepped(const Json& info) {
    if (!info.is_object() || !info.contains("fichier") || !info.contains("fichiers") ||
        !info["fichier"].is_number_integer() || !info["fichiers"].is_number_integer()) {
        return;
    }
    const auto total = info["fichiers"].get<std::int64_t>();
    const auto rank = info["fichier"].get<std::int64_t>();
    if (total <= 0 || rank <= 0 || rank > total || total > 100000) {
        return;
    }
    text_->setText(QString("Envoi : fichier %1 sur %2").arg(rank).arg(total));
    bar_->setRange(0, static_cast<int>(total));
    bar_->setValue(static_cast<int>(rank - 1));
    setAccessibleDescription(text_->text());
    show();
}

void SendProgressView::stopped() {
    hide();
}

} // namespace orvaneh
