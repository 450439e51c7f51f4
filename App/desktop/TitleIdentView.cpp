#include "App/desktop/TitleIdentView.h"

#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvaneh {

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

} // namespace

TitleIdentView::TitleIdentView(std::shared_ptr<ParamWorkflowDicteeTitleIdentViewController> editor,
                               QWidget* parent)
    : QWidget(parent), editor_(std::move(editor)), title_(new QLineEdit(this)), ident_(new QLineEdit(this)),
      done_(new QPushButton("Valider", this)), cancel_(new QPushButton("Annuler", this)) {
    setObjectName(text(editor_->screenName()));
    setAccessibleName("Titre et identifiant de la dictée");

    const QString titleLabel = text(ParamWorkflowDicteeTitleIdentViewController::firstFieldPlaceholder());
    const QString identLabel = text(ParamWorkflowDicteeTitleIdentViewController::secondFieldPlaceholder());
    title_->setObjectName("champTitre");
    title_->setAccessibleName(titleLabel.isEmpty() ? "Titre" : titleLabel);
    title_->setToolTip("Titre de la dictée");
    title_->setPlaceholderText(titleLabel);
    ident_->setObjectName("champIdentifiant");
    ident_->setAccessibleName(identLabel.isEmpty() ? "Identifiant" : identLabel);
    ident_->setToolTip("Identifiant de la dictée (numéro de dossier, de patient…)");
    ident_->setPlaceholderText(identLabel);
    done_->setObjectName("boutonValider");
    done_->setAccessibleName("Valider");
    done_->setToolTip("Garder ce titre et cet identifiant (Entrée)");
    done_->setDefault(true);
    cancel_->setObjectName("boutonAnnuler");
    cancel_->setAccessibleName("Annuler");
    cancel_->setToolTip("Fermer sans garder les changements (Échap)");
    // A window shortcut: only the view shown in the stack takes it.
    cancel_->setShortcut(QKeySequence(Qt::Key_Escape));

    auto* fields = new QFormLayout;
    fields->addRow(title_->accessibleName(), title_);
    fields->addRow(ident_->accessibleName(), ident_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(done_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addStretch();

    connect(done_, &QPushButton::clicked, this, [this] { finish(); });
    // Closes the screen without telling the delegate: the dictation keeps its texts.
    connect(cancel_, &QPushButton::clicked, this, [this] {
        if (!editor_->editingEnded()) {
            editor_->cancel();
        }
    });
    connect(title_, &QLineEdit::returnPressed, this, [this] { finish(); });
    connect(ident_, &QLineEdit::returnPressed, this, [this] { finish(); });
    editor_->setChangeCallback([this] { refresh(); });
    title_->setText(text(editor_->txtFirstField()));
    ident_->setText(text(editor_->txtSecondField()));
    refresh();
}

TitleIdentView::~TitleIdentView() {
    editor_->setChangeCallback(nullptr);
}

void TitleIdentView::refresh() {
    done_->setEnabled(!editor_->editingEnded());
    cancel_->setEnabled(!editor_->editingEnded());
}

void TitleIdentView::finish() {
    // A refused text stays in its field for the person to correct; the controller said why.
    if (editor_->setFirstFieldText(title_->text().toStdString()) &&
        editor_->setSecondFieldText(ident_->text().toStdString())) {
        editor_->endEditing();
    }
}

} // namespace orvaneh
