#include "App/desktop/DesktopApplication.h"

#include "App/desktop/MainWindow.h"
#include "App/desktop/QtUserInterface.h"
#include "App/desktop/RunLoopPump.h"
#include "App/desktop/TerminationHandler.h"
#include "Platform/log/Log.h"
#include "Platform/media/MediaBackend.h"
#include "Platform/profile/ProfileSetup.h"
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/HeadlessUserInterface.h"

#ifdef ORVANEH_HAVE_PULSE
#include "Platform/media/PulseMediaBackend.h"
#endif
#ifdef ORVANEH_HAVE_LIBSECRET
#include "Platform/secrets/LibsecretStore.h"
#endif

#include <QCoreApplication>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <ostream>

namespace orvaneh {

namespace {

void printHelp(std::ostream& stream) {
    stream << "Utilisation : orvaneh [--home RÉP]\n\n"
           << "  --home RÉP     tout le profil (documents, réglages, journal) dans RÉP\n"
           << "  --help         cette aide\n"
           << "  --version      la version du programme\n";
}

// The microphone and the loudspeaker: the sound server's when the program was built with it
// (reached on first use, so a missing server only shows when recording is asked for, through
// the permission refusal the recording screen already explains), else the simulated devices.
void installMediaBackend() {
#ifdef ORVANEH_HAVE_PULSE
    MediaBackend::install(std::make_shared<PulseMediaBackend>());
    Log::write("Audio : micro et haut-parleur du serveur de son (PulseAudio)");
#else
    Log::write("Audio : programme construit sans PulseAudio, micro et haut-parleur simulés");
#endif
}

} // namespace

DesktopApplication::DesktopApplication() = default;

DesktopApplication::~DesktopApplication() {
    termination_.reset();
    window_.reset();
    pump_.reset();
    if (userInterface_) {
        UserInterface::install(std::make_shared<HeadlessUserInterface>());
    }
}

std::optional<int> DesktopApplication::readOptions(const std::vector<std::string>& arguments,
                                                   std::optional<std::filesystem::path>& home,
                                                   std::ostream& out, std::ostream& err) {
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--help" || argument == "-h") {
            printHelp(out);
            return 0;
        }
        if (argument == "--version") {
            out << "orvaneh " << ORVANEH_VERSION << std::endl;
            return 0;
        }
        if (argument == "--home" || argument.rfind("--home=", 0) == 0) {
            if (argument == "--home") {
                home = index + 1 < arguments.size() ? arguments[++index] : std::string();
            } else {
                home = argument.substr(7);
            }
            if (home->empty()) {
                err << "Erreur : l'option --home attend un répertoire" << std::endl;
                return 2;
            }
            continue;
        }
        err << "Erreur : option inconnue : " << argument << "\n";
        printHelp(err);
        return 2;
    }
    return std::nullopt;
}

std::optional<std::string> DesktopApplication::missingDisplay() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    if (set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM")) {
        return std::nullopt;
    }
    return "Aucun affichage graphique (DISPLAY ou WAYLAND_DISPLAY) : la fenêtre ne peut pas s'ouvrir ; "
           "sans affichage, utilisez orvaneh-cli";
}

void DesktopApplication::endSession(int signalNumber) {
    const char* name = signalNumber == SIGTERM  ? "SIGTERM"
                       : signalNumber == SIGINT ? "SIGINT"
                       : signalNumber == SIGHUP ? "SIGHUP"
                                                : "signal";
    Log::write("Demande d'arrêt du programme (" + std::string(name) + ", " + std::to_string(signalNumber) +
               ") : fermeture de la fenêtre");
    if (window_) {
        window_->close();
    }
    QCoreApplication::quit();
}

std::optional<std::string> DesktopApplication::start(const std::optional<std::filesystem::path>& home) {
    // The log goes to the profile's file; a terminal that started the window stays quiet.
    Log::setEchoToStderr(false);
    std::string error;
    if (!ProfileSetup::install(Profile::resolve(home), &error)) {
        return error;
    }
    // From here a stop request waits in the handler's pipe until Qt's loop runs.
    termination_ = std::make_unique<TerminationHandler>([this](int number) { endSession(number); });
    installMediaBackend();
#ifdef ORVANEH_HAVE_LIBSECRET
    // Passwords in the desktop's keyring when the session has one.
    SecretStore::install(std::make_shared<LibsecretStore>());
#endif
    window_ = std::make_unique<MainWindow>(application_);
    userInterface_ =
        std::make_shared<QtUserInterface>(window_.get(), window_->banner(), window_->activityIndicator());
    UserInterface::install(userInterface_);
    // From here on, the core's tasks and timers run between Qt's events.
    pump_ = std::make_unique<RunLoopPump>(RunLoop::main());

    auto started = application_.startCore(true);
    if (started.error) {
        return started.error;
    }
    application_.startScreens();
    window_->show();
    // Read once the window is up: each is a sentence about files kept aside.
    for (const auto& notice : started.notices) {
        Log::write("Attention : " + notice);
        userInterface_->showAlert("Attention", notice);
    }
    return std::nullopt;
}

} // namespace orvaneh
