// Build step: creates a fresh SQLite file from an SQL script.
// Usage: make-database-template SCRIPT OUTPUT
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage : %s SCRIPT SORTIE\n", argv[0]);
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "script illisible : %s\n", argv[1]);
        return 1;
    }
    std::stringstream script;
    script << input.rdbuf();
    std::string output = std::string(argv[2]) + ".tmp";
    std::remove(output.c_str());
    sqlite3* database = nullptr;
    if (sqlite3_open(output.c_str(), &database) != SQLITE_OK) {
        std::fprintf(stderr, "impossible de créer %s\n", output.c_str());
        sqlite3_close(database);
        return 1;
    }
    char* error = nullptr;
    if (sqlite3_exec(database, script.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "erreur dans le script : %s\n", error ? error : "?");
        sqlite3_free(error);
        sqlite3_close(database);
        std::remove(output.c_str());
        return 1;
    }
    sqlite3_close(database);
    if (std::rename(output.c_str(), argv[2]) != 0) {
        std::fprintf(stderr, "impossible d'écrire %s\n", argv[2]);
        return 1;
    }
    return 0;
}
