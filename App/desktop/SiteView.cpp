#include "App/desktop/SiteView.h"

#include "App/desktop/ViewWidgets.h"
#include "Classes/core/FtpsMode.h"
#include "Gestion Site/SiteViewController.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <array>

namespace orvaneh {

using W = ViewWidgets;

namespace {

QLineEdit* makeField(const QString& label, const char* name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    W::name(field, name, label, "Saisir : " + label);
    return field;
}

// A field follows the controller without losing the cursor of the person typing in it.
void showText(QLineEdit* field, const std::string& value) {
    const QString text = W::text(value);
    if (field->text() != text) {
        const QSignalBlocker blocker(field);
        field->setText(text);
    }
}

} // namespace

SiteView::SiteView(std::shared_ptr<SiteViewController> editor, QWidget* parent)
    : QWidget(parent), editor_(std::move(editor)), name_(makeField("Nom du site", "champNom", this)),
      transport_(new QButtonGroup(this)), email_(new QCheckBox("Envoi par e-mail proposé", this)),
      address_(makeField("Adresse", "champAdresse", this)),
      login_(makeField("Utilisateur", "champUtilisateur", this)),
      password_(makeField("Mot de passe", "champMotDePasse", this)),
      ftpsTitle_(new QLabel("Chiffrement", this)), ftps_(new QComboBox(this)), ftpsWarning_(new QLabel(this)),
      message_(new QLabel(this)) {
    setObjectName(W::text(editor_->screenName()));
    setAccessibleName(W::text(editor_->title()));
    password_->setEchoMode(QLineEdit::Password);
    W::name(email_, "interrupteurEmail", email_->text(),
            "Le serveur propose l'envoi des dictées par e-mail (les web services seulement)");
    W::name(ftps_, "choixFtps", "Chiffrement FTPS",
            "Chiffrer (TLS) la connexion au serveur FTP : jamais, si le serveur le propose, ou toujours");
    for (FtpSecurity mode : FtpsMode::all()) {
        ftps_->addItem(W::text(FtpsMode::label(mode)), static_cast<int>(mode));
    }
    W::name(ftpsWarning_, "avertissementFtps", "Avertissement FTP en clair");
    ftpsWarning_->setWordWrap(true);
    W::name(message_, "messageSite", "Message du site");
    message_->setWordWrap(true);

    // The controller's selector: FTP, web service, its PHP variant, transcription service.
    static constexpr std::array<const char*, SiteViewController::kSegmentCount> kTitles{
        "FTP", "Service web", "Service web (PHP)", "Service de transcription"};
    static constexpr std::array<const char*, SiteViewController::kSegmentCount> kNames{
        "segmentFtp", "segmentServiceWeb", "segmentServiceWebPhp", "segmentTranscription"};
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    transport_->setExclusive(true);
    for (int segment = 0; segment < SiteViewController::kSegmentCount; ++segment) {
        auto* button =
            W::button(kTitles[segment], kNames[segment], QString("Transport : ") + kTitles[segment], this);
        button->setCheckable(true);
        transport_->addButton(button, segment);
        segments->addWidget(button);
    }

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow("Nom", name_);
    form->addRow("Type", segments);
    form->addRow("", email_);
    form->addRow("Adresse", address_);
    form->addRow("Utilisateur", login_);
    form->addRow("Mot de passe", password_);
    form->addRow(ftpsTitle_, ftps_);
    form->addRow("", ftpsWarning_);
    auto* save =
        W::button(W::text(editor_->saveButtonTitle()), "boutonEnregistrer", "Enregistrer le site", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    // Tab follows the form from top to bottom, not the order the widgets were made in.
    QWidget* previous = name_;
    for (auto* next : transport_->buttons()) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (QWidget* next : std::initializer_list<QWidget*>{email_, address_, login_, password_, ftps_, save}) {
        setTabOrder(previous, next);
        previous = next;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        edited();
        editor_->setName(W::text(text));
    });
    connect(address_, &QLineEdit::textEdited, this, [this](const QString& text) {
        edited();
        editor_->setAddress(W::text(text));
    });
    connect(login_, &QLineEdit::textEdited, this, [this](const QString& text) {
        edited();
        editor_->setLogin(W::text(text));
    });
    connect(password_, &QLineEdit::textEdited, this, [this](const QString& text) {
        edited();
        editor_->setPassword(W::text(text));
    });
    connect(transport_, &QButtonGroup::idClicked, this,
            [this](int segment) { editor_->changeSgmValue(segment); });
    connect(email_, &QCheckBox::clicked, this, [this](bool on) { editor_->setEmailSwitchOn(on); });
    connect(ftps_, &QComboBox::activated, this, [this](int index) {
        editor_->setFtps(static_cast<FtpSecurity>(ftps_->itemData(index).toInt()));
    });
    connect(save, &QPushButton::clicked, this, [this] {
        seenMessage_.clear(); // the same refusal again is shown again
        editor_->addOrModifySite();
    });

    editor_->setChangeCallback([this] { refresh(); });
    refresh();
}

SiteView::~SiteView() {
    editor_->setChangeCallback(nullptr);
}

void SiteView::edited() {
    seenMessage_ = editor_->message();
}

void SiteView::refresh() {
    showText(name_, editor_->name());
    showText(address_, editor_->address());
    showText(login_, editor_->login());
    showText(password_, editor_->password());
    address_->setEnabled(editor_->addressEnabled());
    address_->setPlaceholderText(W::text(editor_->addressPlaceholder()));
    // A type without a segment checks none.
    transport_->setExclusive(false);
    for (auto* button : transport_->buttons()) {
        button->setChecked(transport_->id(button) == editor_->segment());
    }
    transport_->setExclusive(true);
    email_->setChecked(editor_->emailSwitchOn());
    email_->setEnabled(editor_->emailSwitchEnabled());
    const bool ftpSite = editor_->ftpsOffered();
    ftpsTitle_->setVisible(ftpSite);
    ftps_->setVisible(ftpSite);
    {
        const QSignalBlocker blocker(ftps_);
        ftps_->setCurrentIndex(ftps_->findData(static_cast<int>(editor_->ftps())));
    }
    ftpsWarning_->setText(W::text(editor_->ftpsWarning()));
    ftpsWarning_->setVisible(!editor_->ftpsWarning().empty());
    message_->setText(W::text(editor_->message()));
    message_->setVisible(!editor_->message().empty() && editor_->message() != seenMessage_);
}

} // namespace orvaneh
