#include "App/desktop/DesktopApplication.h"
#include "App/desktop/DictationListView.h"
#include "App/desktop/MainWindow.h"
#include "Platform/files/Resources.h"
#include "Platform/log/Log.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>
#include <chrono>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::optional<std::filesystem::path> home;
    if (const auto status = orvaneh::DesktopApplication::readOptions(arguments, home, std::cout, std::cerr)) {
        return *status;
    }
    // Without a display Qt aborts with an English message and a core dump.
    if (const auto missing = orvaneh::DesktopApplication::missingDisplay()) {
        std::cerr << "Erreur : " << *missing << std::endl;
        return 1;
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Orvaneh");
    // The desktop entry's name lets a Wayland compositor show the installed icon and menu entry.
    QGuiApplication::setDesktopFileName("org.orvaneh.Orvaneh");
    QApplication::setWindowIcon(
        QIcon(QString::fromStdString(orvaneh::Resources::path("icons/orvaneh.svg").string())));
    // Qt's own texts (file dialogs, standard buttons) in French, like the rest of the application.
    QTranslator qtTexts;
    const bool translated = qtTexts.load("qtbase_fr", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                            qt.installTranslator(&qtTexts);
    orvaneh::DesktopApplication application;
    if (const auto error = application.start(home)) {
        std::cerr << "Erreur : " << *error << std::endl;
        // Started from a menu, there is no terminal: the window that could not open says why.
        QMessageBox::critical(nullptr, "Orvaneh", QString::fromStdString(*error));
        return 1;
    }
    if (!translated) {
        orvaneh::Log::write(
            "Traductions françaises de Qt introuvables : les dialogues de Qt restent en anglais.");
    }
    // For the cold-start benchmark: the milliseconds from the start to the list's first painting,
    // on stderr, then the program ends.
    if (std::getenv("ORVANEH_EXIT_AFTER_FIRST_PAINT") != nullptr) {
        auto* list = application.window()->findChild<orvaneh::DictationListView*>();
        if (list == nullptr || !list->isVisible()) {
            // Another screen is on top of it: without a site, the site's.
            std::cerr << "Erreur : la liste des dictées n'est pas le premier écran affiché." << std::endl;
            return 1;
        }
        list->setFirstPaintHook([started] {
            const std::chrono::duration<double, std::milli> elapsed =
                std::chrono::steady_clock::now() - started;
            std::cerr << "Première image de la liste : " << static_cast<long long>(elapsed.count()) << " ms"
                      << std::endl;
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
