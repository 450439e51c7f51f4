#include "App/desktop/DesktopApplication.h"
#include "Platform/files/Resources.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::optional<std::filesystem::path> home;
    if (const auto status = orvaneh::DesktopApplication::readOptions(arguments, home, std::cout, std::cerr)) {
        return *status;
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Orvaneh");
    // The desktop entry's name lets a Wayland compositor show the installed icon and menu entry.
    QGuiApplication::setDesktopFileName("org.orvaneh.Orvaneh");
    QApplication::setWindowIcon(
        QIcon(QString::fromStdString(orvaneh::Resources::path("icons/orvaneh.svg").string())));
    orvaneh::DesktopApplication application;
    if (const auto error = application.start(home)) {
        std::cerr << "Erreur : " << *error << std::endl;
        // Started from a menu, there is no terminal: the window that could not open says why.
        QMessageBox::critical(nullptr, "Orvaneh", QString::fromStdString(*error));
        return 1;
    }
    return QApplication::exec();
}
