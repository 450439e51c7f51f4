#include "App/desktop/DesktopApplication.h"

#include <QApplication>
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
    orvaneh::DesktopApplication application;
    if (const auto error = application.start(home)) {
        std::cerr << "Erreur : " << *error << std::endl;
        // Started from a menu, there is no terminal: the window that could not open says why.
        QMessageBox::critical(nullptr, "Orvaneh", QString::fromStdString(*error));
        return 1;
    }
    return QApplication::exec();
}
