#include "App/desktop/ParamWorkflowView.h"

#include "App/desktop/SelectionListView.h"
#include "App/desktop/ViewWidgets.h"
#include "Classes/workflow/ParamWorkflowDefault.h"
#include "Classes/workflow/ParamWorkflowDictee.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;
using Tag = AbstractParamWorkflow::Tag;

namespace {

const char* objectNameOf(int tag) {
    switch (tag) {
    case Tag::kAuthorTag:
        return "champAuteur";
    case Tag::kServiceTag:
        return "champService";
    case Tag::kTypeTag:
        return "champType";
    case Tag::kContextTag:
        return "champContexte";
    case Tag::kWorktypeTag:
        return "champWorktype";
    case Tag::kTypistTag:
        return "champSecretaire";
    case Tag::kPriorityTag:
        return "champPriorite";
    case Tag::kFirstFieldTag:
        return "champTitre";
    default:
        return "champIdentifiant";
    }
}

bool typed(int tag) {
    return tag == Tag::kFirstFieldTag || tag == Tag::kSecondFieldTag;
}

} // namespace

ParamWorkflowView::ParamWorkflowView(std::shared_ptr<AbstractParamWorkflow> screen, QWidget* parent)
    : QWidget(parent), screen_(std::move(screen)), pages_(new QStackedLayout(this)),
      form_(new QWidget(this)) {
    setObjectName(W::text(screen_->screenName()));
    setAccessibleName(W::text(screen_->title()));

    auto* scroll = new QScrollArea(form_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* fields = new QWidget(scroll);
    auto* fieldsLayout = new QVBoxLayout(fields);
    auto* dictee = dynamic_cast<ParamWorkflowDictee*>(screen_.get());
    QFormLayout* rows = nullptr;
    QString section;
    for (int tag : screen_->rowTags()) {
        // A dictation's screen shows its own fields apart from the workflow's.
        const QString wanted = !dictee      ? QString()
                               : typed(tag) ? W::text(ParamWorkflowDictee::dictationSectionTitle())
                                            : W::text(ParamWorkflowDictee::workflowSectionTitle());
        if (!rows || wanted != section) {
            section = wanted;
            auto* group = new QGroupBox(section, fields);
            group->setObjectName(section.isEmpty() ? "groupeChamps"
                                                   : (typed(tag) ? "groupeDictee" : "groupeWorkflow"));
            group->setFlat(section.isEmpty());
            rows = new QFormLayout(group);
            rows->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
            fieldsLayout->addWidget(group);
        }
        rows->addRow(W::text(AbstractParamWorkflow::fieldLabel(tag)), makeRow(tag, fields));
    }
    if (auto* defaults = dynamic_cast<ParamWorkflowDefault*>(screen_.get())) {
        auto* footer = new QLabel(W::text(defaults->footer()), fields);
        W::name(footer, "texteAide", footer->text());
        footer->setWordWrap(true);
        fieldsLayout->addWidget(footer);
    }
    fieldsLayout->addStretch();
    scroll->setWidget(fields);

    auto* buttons = new QHBoxLayout;
    if (auto* defaults = dynamic_cast<ParamWorkflowDefault*>(screen_.get())) {
        auto* clear = W::button("Effacer", "boutonEffacer",
                                "Vider tous les champs (rien n'est enregistré avant la sauvegarde)", form_);
        auto* save = W::button("Enregistrer", "boutonEnregistrer",
                               "Enregistrer ces paramètres pour toute nouvelle dictée", form_);
        buttons->addWidget(clear);
        buttons->addStretch();
        buttons->addWidget(save);
        connect(clear, &QPushButton::clicked, this, [defaults] { defaults->deleteParam(); });
        connect(save, &QPushButton::clicked, this, [this, defaults] {
            if (commitTypedFields()) {
                defaults->saveParam();
            }
        });
    } else if (dictee) {
        auto* validate = W::button(W::text(ParamWorkflowDictee::validateButtonTitle()), "boutonValider",
                                   "Appliquer ces paramètres à la dictée", form_);
        buttons->addStretch();
        buttons->addWidget(validate);
        connect(validate, &QPushButton::clicked, this, [this, dictee] {
            if (commitTypedFields()) {
                dictee->saveParamWorkflow();
            }
        });
    }
    auto* formLayout = new QVBoxLayout(form_);
    formLayout->setContentsMargins(0, 0, 0, 0);
    formLayout->addWidget(scroll, 1);
    formLayout->addLayout(buttons);
    pages_->addWidget(form_);

    screen_->setChangeCallback([this] { refresh(); });
    refresh();
}

ParamWorkflowView::~ParamWorkflowView() {
    screen_->setChangeCallback(nullptr);
}

QWidget* ParamWorkflowView::makeRow(int tag, QWidget* parent) {
    const QString label = W::text(AbstractParamWorkflow::fieldLabel(tag));
    if (typed(tag)) {
        auto* field = new QLineEdit(parent);
        W::name(field, objectNameOf(tag), label, "Saisir : " + label);
        typed_[tag] = field;
        // Each change at once: the back button's question may save before the field loses focus.
        connect(field, &QLineEdit::textEdited, this, [this, tag, field] {
            if (W::text(field->text()) != screen_->fieldText(tag) &&
                !screen_->setFieldText(tag, W::text(field->text()))) {
                // Refused (the banner says why): the field shows what the controller kept.
                field->setText(W::text(screen_->fieldText(tag)));
            }
        });
        auto* dictee = dynamic_cast<ParamWorkflowDictee*>(screen_.get());
        if (!dictee || tag != Tag::kSecondFieldTag) {
            return field;
        }
        // A dictation's identification may come from a printed code or from a case file.
        auto* row = new QWidget(parent);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(field, 1);
        if (ParamWorkflowDictee::scanButtonShown()) {
            auto* scan = W::button("Code-barres", "boutonScanner", "Lire l'identifiant sur un code-barres", row);
            layout->addWidget(scan);
            connect(scan, &QPushButton::clicked, this, [this, dictee] {
                commitTypedFields();
                dictee->displayScanner();
            });
        }
        auto* caseFile = W::button("Dossier", "boutonDossier", "Chercher le dossier de cette dictée", row);
        layout->addWidget(caseFile);
        connect(caseFile, &QPushButton::clicked, this, [this, dictee] {
            // The search starts from what is typed now.
            commitTypedFields();
            dictee->displayFileSearch();
        });
        return row;
    }
    auto* chooser = new QPushButton(parent);
    W::name(chooser, objectNameOf(tag), label, "Choisir : " + label);
    // Drawn as a field the width of the form, its text at the left.
    chooser->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    chooser->setStyleSheet("text-align: left; padding: 4px 8px;");
    choosers_[tag] = chooser;
    connect(chooser, &QPushButton::clicked, this, [this, tag] {
        commitTypedFields();
        screen_->textFieldShouldBeginEditing(tag);
    });
    return chooser;
}

bool ParamWorkflowView::commitTypedFields() {
    bool accepted = true;
    for (auto& [tag, field] : typed_) {
        if (W::text(field->text()) != screen_->fieldText(tag) &&
            !screen_->setFieldText(tag, W::text(field->text()))) {
            field->setText(W::text(screen_->fieldText(tag)));
            accepted = false;
        }
    }
    return accepted;
}

void ParamWorkflowView::refresh() {
    for (auto& [tag, chooser] : choosers_) {
        const QString value = W::text(screen_->fieldText(tag));
        chooser->setText(value.isEmpty() ? QString("Choisir…") : value);
        chooser->setAccessibleDescription(value);
        chooser->setEnabled(screen_->fieldEnabled(tag));
    }
    for (auto& [tag, field] : typed_) {
        const QString value = W::text(screen_->fieldText(tag));
        if (field->text() != value && !field->hasFocus()) {
            field->setText(value);
        }
        field->setEnabled(screen_->fieldEnabled(tag));
    }
    const auto& picker = screen_->picker();
    const bool wasPicking = picker_ != nullptr;
    if (picker_ && picker_->selection() != picker.get()) {
        // Later: the answer that closes it comes from inside its own handlers.
        pages_->removeWidget(picker_);
        picker_->deleteLater();
        picker_ = nullptr;
    }
    if (picker && !picker_) {
        picker_ = new SelectionListView(picker, this);
        pages_->addWidget(picker_);
    }
    pages_->setCurrentWidget(picker_ ? static_cast<QWidget*>(picker_) : form_);
    if (picker_) {
        picker_->setFocus();
    } else if (wasPicking) {
        // Back to the field the list was for.
        if (auto found = choosers_.find(screen_->textFieldSelected()); found != choosers_.end()) {
            found->second->setFocus();
        }
    }
}

} // namespace orvaneh
