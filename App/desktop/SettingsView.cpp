#include "App/desktop/SettingsView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/screens/SettingsViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;
using Kind = SettingDescription::Kind;

namespace {

QByteArray objectNameOf(const std::string& key) {
    return QByteArray("reglage") + QByteArray::fromStdString(key);
}

} // namespace

SettingsView::SettingsView(std::shared_ptr<SettingsViewController> settings, QWidget* parent)
    : QWidget(parent), settings_(std::move(settings)), remarks_(new QLabel(this)) {
    setObjectName(W::text(settings_->screenName()));
    setAccessibleName(W::text(settings_->title()));
    W::name(remarks_, "remarquesReglages", "Remarques sur les réglages");
    remarks_->setWordWrap(true);
    remarks_->setStyleSheet("color: #8a5a00;");

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* groups = new QVBoxLayout(content);
    for (const auto& group : settings_->groups()) {
        auto* box = new QGroupBox(W::text(group.title), content);
        box->setAccessibleName(box->title());
        auto* form = new QFormLayout(box);
        form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
        for (const auto& item : group.items) {
            const QString label = W::text(item.label);
            const QByteArray name = objectNameOf(item.key);
            Row row;
            if (item.kind == Kind::Boolean) {
                auto* check = new QCheckBox(box);
                W::name(check, name.constData(), label, W::text(item.help));
                connect(check, &QCheckBox::clicked, this,
                        [this, key = item.key](bool on) { apply(key, on ? "true" : "false"); });
                row.editor = check;
            } else if (!item.choices.empty()) {
                auto* list = new QComboBox(box);
                W::name(list, name.constData(), label, W::text(item.help));
                for (const auto& choice : item.choices) {
                    list->addItem(W::text(choice));
                }
                connect(list, &QComboBox::activated, this,
                        [this, key = item.key, list](int index) { apply(key, list->itemText(index)); });
                row.editor = list;
            } else {
                auto* field = new QLineEdit(box);
                W::name(field, name.constData(), label, W::text(item.help));
                field->setPlaceholderText(W::text(item.allowedValues));
                connect(field, &QLineEdit::editingFinished, this, [this, key = item.key, field] {
                    if (settings_->item(key) && W::text(settings_->item(key)->valueText) != field->text()) {
                        apply(key, field->text());
                    }
                });
                row.editor = field;
            }
            row.problem = new QLabel(box);
            row.problem->setObjectName(QByteArray("refus") + QByteArray::fromStdString(item.key));
            row.problem->setAccessibleName("Refus : " + label);
            row.problem->setWordWrap(true);
            row.problem->setStyleSheet("color: #b00020;");
            row.problem->hide();
            auto* cell = new QWidget(box);
            auto* cellLayout = new QVBoxLayout(cell);
            cellLayout->setContentsMargins(0, 0, 0, 0);
            auto* line = new QHBoxLayout;
            line->addWidget(row.editor, 1);
            if (!item.unit.empty()) {
                line->addWidget(new QLabel(W::text(item.unit), cell));
            }
            cellLayout->addLayout(line);
            cellLayout->addWidget(row.problem);
            auto* title = new QLabel(label, box);
            title->setToolTip(W::text(item.help));
            title->setBuddy(row.editor);
            form->addRow(title, cell);
            rows_[item.key] = row;
        }
        groups->addWidget(box);
    }
    groups->addStretch();
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(remarks_);
    layout->addWidget(scroll, 1);

    settings_->setChangeCallback([this] { refresh(); });
    refresh();
}

SettingsView::~SettingsView() {
    settings_->setChangeCallback(nullptr);
}

void SettingsView::apply(const std::string& key, const QString& text) {
    const auto problem = settings_->setValue(key, W::text(text));
    // A value refused is not stored: the row shows the stored one again, and why.
    refresh();
    auto& row = rows_[key];
    if (auto* field = qobject_cast<QLineEdit*>(row.editor); field && problem) {
        if (const auto stored = settings_->item(key)) {
            field->setText(W::text(stored->valueText));
        }
    }
    if (row.problem) {
        row.problem->setText(problem ? W::text(*problem) : QString());
        row.problem->setVisible(problem.has_value());
    }
}

void SettingsView::refresh() {
    for (const auto& group : settings_->groups()) {
        for (const auto& item : group.items) {
            auto found = rows_.find(item.key);
            if (found == rows_.end()) {
                continue;
            }
            QWidget* editor = found->second.editor;
            const QSignalBlocker blocker(editor);
            const QString value = W::text(item.valueText);
            if (auto* check = qobject_cast<QCheckBox*>(editor)) {
                check->setChecked(item.value.is_boolean() ? item.value.get<bool>() : value == "true");
            } else if (auto* list = qobject_cast<QComboBox*>(editor)) {
                list->setCurrentIndex(list->findText(value));
            } else if (auto* field = qobject_cast<QLineEdit*>(editor); field && !field->hasFocus()) {
                field->setText(value);
            }
        }
    }
    QStringList remarks;
    for (const auto& remark : settings_->remarks()) {
        remarks << W::text(remark);
    }
    remarks_->setText(remarks.join("\n"));
    remarks_->setVisible(!remarks.isEmpty());
}

} // namespace orvaneh
