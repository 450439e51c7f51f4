#include "App/cli/DictationCommand.h"

#include "App/cli/CliArguments.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Tools.h"
#include "Classes/packaging/XMLForThirdParty.h"

#include <charconv>
#include <iomanip>
#include <ostream>

namespace orvaneh {

namespace {

std::string stateLabel(const DicteeModel& record) {
    switch (record.sendingState()) {
    case DicteeModel::SendingState::Draft:
        return "Brouillon";
    case DicteeModel::SendingState::Waiting:
        return "En attente";
    case DicteeModel::SendingState::Attempted:
        return "Tentative échouée";
    case DicteeModel::SendingState::Sent:
        return "Envoyée";
    }
    return "";
}

// Pads to a width in characters: the states carry accents, which take two bytes in UTF-8.
std::string padded(const std::string& text, std::size_t width) {
    std::size_t characters = 0;
    for (char byte : text) {
        characters += (static_cast<unsigned char>(byte) & 0xC0u) != 0x80u ? 1 : 0;
    }
    return characters >= width ? text : text + std::string(width - characters, ' ');
}

std::string durations(const DicteeModel& record) {
    return Tools::timeIntervalToString(static_cast<double>(record.dureeDictee)) + " + " +
           Tools::timeIntervalToString(static_cast<double>(record.dureeInstruction));
}

// Titles typed on another device may hold bytes that are not UTF-8: shown replaced rather
// than refused.
std::string dump(const Json& value) {
    return value.dump(2, ' ', false, Json::error_handler_t::replace);
}

// A dictation identifier: digits only, so "12abc" or "-3" is a usage error rather than 12 or -3.
std::optional<std::int64_t> parseIdentifier(const std::string& text) {
    std::int64_t value = 0;
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

int unknownDictation(CliContext& context, std::int64_t id) {
    context.err << "Erreur : aucune dictée n'a l'identifiant " << id << "." << std::endl;
    return CliCommand::kFailure;
}

} // namespace

std::optional<std::int64_t> DictationCommand::identifierArgument(const CliArguments& parsed,
                                                                 CliContext& context) {
    const auto& positional = parsed.positional();
    if (positional.empty()) {
        usageError(context, "il manque l'identifiant de la dictée");
        return std::nullopt;
    }
    if (positional.size() > 1) {
        usageError(context, "trop d'arguments");
        return std::nullopt;
    }
    auto id = parseIdentifier(positional.front());
    if (!id) {
        usageError(context, "identifiant de dictée invalide : " + positional.front());
    }
    return id;
}

std::vector<std::string> DictationCommand::helpLines() const {
    return {
        "dictation list [--outbox|--sent|--all] [--json]",
        "                              les dictations (par défaut celles qui restent à envoyer)",
        "dictation show ID [--json]    une dictée avec tous ses champs",
        "dictation delete ID           supprime une dictée, ses enregistrements et ses photos",
        "dictation xml ID              le descripteur XML qui serait envoyé avec la dictée",
    };
}

int DictationCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(*this, arguments, context,
                    {{"list", &DictationCommand::list},
                     {"show", &DictationCommand::show},
                     {"delete", &DictationCommand::remove},
                     {"xml", &DictationCommand::xml}});
}

int DictationCommand::list(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"outbox", "sent", "all", "json"}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    int chosen = parsed->flag("outbox") + parsed->flag("sent") + parsed->flag("all");
    if (chosen > 1) {
        return usageError(context, "--outbox, --sent et --all s'excluent");
    }
    int filter = parsed->flag("sent")  ? DicteeRequest::kSent
                 : parsed->flag("all") ? DicteeRequest::kAll
                                       : DicteeRequest::kOutbox;
    auto dictations = DicteeRequest().getListDictee(filter);
    if (parsed->flag("json")) {
        Json all = Json::array();
        for (const auto& record : dictations) {
            all.push_back(record.toJson());
        }
        context.out << dump(all) << std::endl;
        return kSuccess;
    }
    if (dictations.empty()) {
        context.out << "Aucune dictée." << std::endl;
        return kSuccess;
    }
    for (const auto& record : dictations) {
        context.out << std::right << std::setw(5) << record.idDictee << "  " << record.date << "  "
                    << padded(stateLabel(record), 17) << "  " << durations(record) << "  " << record.titre
                    << "\n";
    }
    context.out.flush();
    return kSuccess;
}

int DictationCommand::show(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {"json"}, {}, context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    DicteeModel record = DicteeRequest().selectDictee(*id);
    if (record.idDictee == 0) {
        return unknownDictation(context, *id);
    }
    if (parsed->flag("json")) {
        context.out << dump(record.toJson()) << std::endl;
        return kSuccess;
    }
    context.out << "Dictée " << record.idDictee << "\n"
                << "Titre : " << record.titre << "\n"
                << "Date : " << record.date << "\n"
                << "État : " << stateLabel(record) << "\n"
                << "Durées : " << Tools::timeIntervalToString(static_cast<double>(record.dureeDictee))
                << " (instruction "
                << Tools::timeIntervalToString(static_cast<double>(record.dureeInstruction)) << ")\n"
                << "Auteur : " << record.auteur << "\n"
                << "Contexte : " << record.contexte << "\n"
                << "Secrétaire : " << record.secretaire << "\n"
                << "Worktype : " << record.worktype << "\n"
                << "Priorité : " << record.priorite << "\n"
                << "Type : " << record.type << "\n"
                << "Identifiant : " << record.identValue << "\n"
                << "Site : " << record.idSite << "\n"
                << "Service : " << record.serviceID << "\n"
                << "Job : " << record.masterJobId << std::endl;
    return kSuccess;
}

int DictationCommand::remove(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {}, {}, context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    DicteeRequest dictations;
    // Files of an unknown identifier are left alone: they may belong to a dictation being saved.
    if (dictations.selectDictee(*id).idDictee == 0) {
        return unknownDictation(context, *id);
    }
    FileManagerHelper::deleteFilesOfDictation(*id);
    if (!dictations.deleteDicteeWithId(*id)) {
        context.err << "Erreur : la dictée " << *id << " n'a pas pu être supprimée de la base." << std::endl;
        return kFailure;
    }
    context.out << "Dictée " << *id << " supprimée, avec ses enregistrements et ses photos." << std::endl;
    return kSuccess;
}

int DictationCommand::xml(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {}, {}, context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    DicteeModel record = DicteeRequest().selectDictee(*id);
    if (record.idDictee == 0) {
        return unknownDictation(context, *id);
    }
    XMLForThirdParty descriptor;
    descriptor.setDictee(record);
    context.out << descriptor.SerializeObject() << std::flush;
    return kSuccess;
}

} // namespace orvaneh
