#include "App/desktop/LoginView.h"

#include "App/desktop/DossierListeView.h"
#include "App/desktop/ViewWidgets.h"
#include "Classes/casefile/LoginViewController.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace orvaneh {

using W = ViewWidgets;

LoginView::LoginView(std::shared_ptr<LoginViewController> login, QWidget* parent)
    : QWidget(parent), login_(std::move(login)), pages_(new QStackedLayout(this)), form_(new QWidget(this)),
      host_(new QLineEdit(form_)), database_(new QPushButton(form_)), user_(new QLineEdit(form_)),
      password_(new QLineEdit(form_)), savePassword_(new QCheckBox("Enregistrer le mot de passe", form_)),
      validate_(W::button("Se connecter", "boutonConnexion", "Se connecter au serveur de dossiers", form_)),
      progress_(new QProgressBar(form_)) {
    setObjectName(W::text(login_->screenName()));
    setAccessibleName(W::text(login_->title()));
    W::name(host_, "champServeur", "Serveur", "Nom du serveur de dossiers (sans https://)");
    W::name(database_, "champBase", "Base de données", "Choisir la base de données du serveur");
    // Drawn as a field: it opens the list of the server's databases.
    database_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    database_->setStyleSheet("text-align: left; padding: 4px 8px;");
    W::name(user_, "champUtilisateur", "Identifiant", "Votre identifiant sur le serveur de dossiers");
    W::name(password_, "champMotDePasse", "Mot de passe", "Votre mot de passe sur le serveur de dossiers");
    password_->setEchoMode(QLineEdit::Password);
    W::name(savePassword_, "caseEnregistrerMotDePasse", savePassword_->text(),
            "Garder le mot de passe et la base pour la prochaine connexion");
    W::name(progress_, "progressionConnexion", "Connexion en cours");
    progress_->setRange(0, 100);

    auto* fields = new QFormLayout;
    fields->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    fields->addRow("Serveur", host_);
    fields->addRow("Base de données", database_);
    fields->addRow("Identifiant", user_);
    fields->addRow("Mot de passe", password_);
    fields->addRow(QString(), savePassword_);
    auto* layout = new QVBoxLayout(form_);
    layout->addLayout(fields);
    layout->addWidget(progress_);
    layout->addWidget(validate_, 0, Qt::AlignRight);
    layout->addStretch();
    pages_->addWidget(form_);

    // Each change at once, so that what the controller saves is what shows.
    connect(host_, &QLineEdit::textEdited, this, [this](const QString& text) {
        hostEdited_ = true;
        login_->setHost(W::text(text));
    });
    host_->installEventFilter(this);
    connect(host_, &QLineEdit::returnPressed, this, [this] {
        hostEdited_ = false;
        login_->hostFieldReturn();
    });
    connect(user_, &QLineEdit::textEdited, this,
            [this](const QString& text) { login_->setLogin(W::text(text)); });
    connect(password_, &QLineEdit::textEdited, this,
            [this](const QString& text) { login_->setPassword(W::text(text)); });
    connect(savePassword_, &QCheckBox::toggled, this, [this](bool on) { login_->setSavePassword(on); });
    connect(database_, &QPushButton::clicked, this, [this] { login_->databaseFieldTapped(); });
    for (QLineEdit* field : {user_, password_}) {
        connect(field, &QLineEdit::returnPressed, this, [this] { login_->validLogin(); });
    }
    connect(validate_, &QPushButton::clicked, this, [this] { login_->validLogin(); });

    host_->setText(W::text(login_->host()));
    user_->setText(W::text(login_->login()));
    password_->setText(W::text(login_->password()));
    login_->setChangeCallback([this] { refresh(); });
    refresh();
}

LoginView::~LoginView() {
    login_->setChangeCallback(nullptr);
}

bool LoginView::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the host field for another field; not a box coming over the window.
    if (watched == host_ && event->type() == QEvent::FocusOut && hostEdited_) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::MouseFocusReason) {
            hostEdited_ = false;
            login_->hostFieldDidEndEditing();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LoginView::refresh() {
    if (login_->caseListShown()) {
        if (!caseList_ && login_->caseList()) {
            caseList_ = new DossierListeView(login_->caseList(), this);
            pages_->addWidget(caseList_);
            pages_->setCurrentWidget(caseList_);
            caseList_->setFocus();
        }
        return;
    }
    const std::string& label =
        login_->databaseLabel().empty() ? login_->databaseName() : login_->databaseLabel();
    database_->setText(label.empty() ? QString("Choisir…") : W::text(label));
    database_->setAccessibleDescription(W::text(label));
    if (!host_->hasFocus() && host_->text() != W::text(login_->host())) {
        host_->setText(W::text(login_->host()));
    }
    savePassword_->setChecked(login_->savePassword());
    progress_->setVisible(login_->waiting());
    progress_->setValue(static_cast<int>(login_->progress() * 100));
    const bool busy = login_->loggingIn();
    validate_->setEnabled(!busy);
}

} // namespace orvaneh
