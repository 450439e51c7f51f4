#include "App/desktop/MainWindow.h"

#include "App/desktop/AboutView.h"
#include "App/desktop/BannerView.h"
#include "App/desktop/DictationListView.h"
#include "App/desktop/DossierListeView.h"
#include "App/desktop/ElidedLabel.h"
#include "App/desktop/LoginView.h"
#include "App/desktop/MainMenuView.h"
#include "App/desktop/ParamWorkflowView.h"
#include "App/desktop/ParametreTabBarView.h"
#include "App/desktop/PicturesView.h"
#include "App/desktop/PlaceholderView.h"
#include "App/desktop/QRCodeReaderView.h"
#include "App/desktop/QtCamera.h"
#include "App/desktop/RecorderView.h"
#include "App/desktop/SendProgressView.h"
#include "App/desktop/ServicesView.h"
#include "App/desktop/SettingsView.h"
#include "App/desktop/SiteListView.h"
#include "App/desktop/SiteView.h"
#include "App/desktop/TitleIdentView.h"
#include "Classes/app/ListeDictViewController.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/app/ParametreTabBarController.h"
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/casefile/DossierListeViewController.h"
#include "Classes/casefile/LoginViewController.h"
#include "Classes/screens/AboutController.h"
#include "Classes/screens/Menu.h"
#include "Classes/screens/PicturesViewController.h"
#include "Classes/screens/ServicesViewController.h"
#include "Classes/screens/SettingsViewController.h"
#include "Classes/workflow/AbstractParamWorkflow.h"
#include "Classes/workflow/ParamWorkflowDicteeTitleIdentViewController.h"
#include "Classes/workflow/QRCodeReaderViewController.h"
#include "Gestion Site/SiteListViewController.h"
#include "Gestion Site/SiteViewController.h"
#include "Platform/log/Log.h"
#include "Platform/preferences/PreferenceStore.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>
#include <set>

namespace orvaneh {

namespace {

QPushButton* makeButton(const QString& title, const char* name, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    button->setAccessibleName(title);
    return button;
}

} // namespace

MainWindow::MainWindow(OrvanehAppDelegate& application, QWidget* parent)
    : QMainWindow(parent), application_(application), back_(makeButton("Retour", "boutonRetour", this)),
      title_(new ElidedLabel(this)), menu_(makeButton("Menu", "boutonMenu", this)),
      banner_(new BannerView(this)), stack_(new QStackedWidget(this)),
      activity_(new QLabel("Activité réseau…", this)) {
    setObjectName("fenetrePrincipale");
    setAccessibleName("Orvaneh");
    setWindowTitle("Orvaneh");
    title_->setObjectName("titreEcran");
    title_->setAlignment(Qt::AlignCenter);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    stack_->setObjectName("pileEcrans");
    stack_->setAccessibleName("Écrans");
    activity_->setObjectName("activiteReseau");
    activity_->setAccessibleName(activity_->text());
    activity_->hide();
    statusBar()->addPermanentWidget(activity_);
    statusBar()->addPermanentWidget(new SendProgressView(this));

    auto* bar = new QHBoxLayout;
    bar->addWidget(back_);
    bar->addWidget(title_, 1);
    bar->addWidget(menu_);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(bar);
    layout->addWidget(banner_);
    layout->addWidget(stack_, 1);
    setCentralWidget(central);
    resize(720, 480);
    // Where and how large the person left it; a damaged value leaves the default size.
    if (const auto geometry = PreferenceStore::standard().stringForKey(kGeometryKey)) {
        restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(*geometry)));
    }

    connect(back_, &QPushButton::clicked, this, [this] {
        if (application_.navigation().presented()) {
            application_.navigation().presented()->onBackButton();
        } else {
            application_.navigation().back();
        }
    });
    connect(menu_, &QPushButton::clicked, this, &MainWindow::openMenu);
    application_.navigation().setChangeCallback([this] { followNavigation(); });
    followNavigation();
}

MainWindow::~MainWindow() {
    application_.navigation().setChangeCallback(nullptr);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Saving pops the navigation: walk a copy.
    const auto screens = application_.navigation().screens();
    for (const auto& screen : screens) {
        if (auto recorder = std::dynamic_pointer_cast<AudioRecordControllerThree>(screen)) {
            const bool kept = recorder->keepWorkAtSessionEnd();
            Log::write(kept ? "Fin de séance : la dictée en cours d'enregistrement est conservée en brouillon"
                            : "Fin de séance : l'écran d'enregistrement ne contenait rien à conserver");
        }
    }
    PreferenceStore::standard().setString(kGeometryKey, saveGeometry().toBase64().toStdString());
    QMainWindow::closeEvent(event);
}

QWidget* MainWindow::viewOf(const SuperController* screen) const {
    auto found = views_.find(screen);
    return found == views_.end() ? nullptr : found->second;
}

QWidget* MainWindow::makeView(const std::shared_ptr<SuperController>& screen) {
    if (auto list = std::dynamic_pointer_cast<ListeDictViewController>(screen)) {
        list->setCameraMaker(&QtCamera::make);
        return new DictationListView(list);
    }
    if (auto parameters = std::dynamic_pointer_cast<AbstractParamWorkflow>(screen)) {
        return new ParamWorkflowView(parameters);
    }
    if (auto services = std::dynamic_pointer_cast<ServicesViewController>(screen)) {
        return new ServicesView(services);
    }
    if (auto sites = std::dynamic_pointer_cast<SiteListViewController>(screen)) {
        return new SiteListView(sites);
    }
    if (auto site = std::dynamic_pointer_cast<SiteViewController>(screen)) {
        return new SiteView(site);
    }
    if (auto pictures = std::dynamic_pointer_cast<PicturesViewController>(screen)) {
        return new PicturesView(pictures);
    }
    if (auto container = std::dynamic_pointer_cast<ParametreTabBarController>(screen)) {
        return new ParametreTabBarView(container);
    }
    if (auto settings = std::dynamic_pointer_cast<SettingsViewController>(screen)) {
        return new SettingsView(settings);
    }
    if (auto about = std::dynamic_pointer_cast<AboutController>(screen)) {
        return new AboutView(about);
    }
    if (auto recorder = std::dynamic_pointer_cast<AudioRecordControllerThree>(screen)) {
        return new RecorderView(recorder);
    }
    if (auto editor = std::dynamic_pointer_cast<ParamWorkflowDicteeTitleIdentViewController>(screen)) {
        return new TitleIdentView(editor);
    }
    if (auto login = std::dynamic_pointer_cast<LoginViewController>(screen)) {
        return new LoginView(login);
    }
    if (auto caseList = std::dynamic_pointer_cast<DossierListeViewController>(screen)) {
        return new DossierListeView(caseList);
    }
    if (auto reader = std::dynamic_pointer_cast<QRCodeReaderViewController>(screen)) {
        return new QRCodeReaderView(reader);
    }
    return new PlaceholderView(screen);
}

void MainWindow::followNavigation() {
    const auto& navigation = application_.navigation();
    std::vector<std::shared_ptr<SuperController>> shown = navigation.screens();
    shown.insert(shown.end(), navigation.presentedScreens().begin(), navigation.presentedScreens().end());
    std::set<const SuperController*> current;
    for (const auto& screen : shown) {
        current.insert(screen.get());
        if (!views_.count(screen.get())) {
            auto* view = makeView(screen);
            stack_->addWidget(view);
            views_[screen.get()] = view;
        }
    }
    for (auto it = views_.begin(); it != views_.end();) {
        if (current.count(it->first)) {
            ++it;
            continue;
        }
        // Later: the change may come from inside one of that view's own handlers.
        stack_->removeWidget(it->second);
        it->second->deleteLater();
        it = views_.erase(it);
    }
    const auto top = navigation.presented() ? navigation.presented() : navigation.top();
    if (top) {
        stack_->setCurrentWidget(views_[top.get()]);
        title_->setText(QString::fromStdString(top->title()));
        title_->setAccessibleName(title_->text());
        back_->setVisible(top != navigation.root() && top->shouldDisplayBackButton());
        menu_->setVisible(top->shouldDisplayMenuButton());
    }
}

void MainWindow::openMenu() {
    application_.showMenu();
    Menu* menu = application_.menu();
    if (!menu || findChild<MainMenuView*>()) {
        return;
    }
    (new MainMenuView(*menu, this))->open();
}

} // namespace orvaneh
