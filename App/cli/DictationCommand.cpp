#include "App/cli/DictationCommand.h"

#include "App/cli/CliArguments.h"
#include "App/cli/DictationFields.h"
#include "App/cli/DictationFormat.h"
#include "App/cli/DictationRecorder.h"
#include "App/cli/LiveTakeConsole.h"
#include "Classes/app/ListeDictViewController.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/audio/RecorderTrackFiles.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DatabaseProbe.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/packaging/XMLForThirdParty.h"
#include "Classes/screens/NavigationController.h"
#include "Classes/screens/Notification.h"
#include "Classes/screens/PicturesViewController.h"
#include "Classes/transport/Uploader.h"
#include "Classes/workflow/ParamWorkflow.h"
#include "Classes/workflow/ParamWorkflowDictee.h"
#include "Platform/files/SystemErrorText.h"
#include "Platform/localisation/Localization.h"
#ifdef ORVANEH_HAVE_PULSE
#include "Platform/media/PulseMediaBackend.h"
#endif
#include "Platform/runloop/RunLoop.h"
#include "Platform/ui/UserInterface.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <thread>

namespace orvaneh {

namespace {

// Pads to a width in characters: the states carry accents, which take two bytes in UTF-8.
std::string padded(const std::string& text, std::size_t width) {
    std::size_t characters = 0;
    for (char byte : text) {
        characters += (static_cast<unsigned char>(byte) & 0xC0u) != 0x80u ? 1 : 0;
    }
    return characters >= width ? text : text + std::string(width - characters, ' ');
}

std::string durations(const DicteeModel& record) {
    return DictationFormat::duration(DictationFormat::trackSeconds(record, false)) + " + " +
           DictationFormat::duration(DictationFormat::trackSeconds(record, true));
}

// `diskError`: the fault of the disk the read that found nothing met, if any.
int unknownDictation(CliContext& context, std::int64_t id, int diskError = 0) {
    // The read that found nothing may have failed: a dictation is never said to be gone for that.
    int rows = 0;
    if (auto why = DatabaseProbe::failure("select id from dictee where id = ?", id, &rows)) {
        context.err << "Erreur : la dictée " << id << " n'a pas pu être lue (" << *why << ")." << std::endl;
    } else if (rows > 0) {
        // It reads now: the first read met a passing fault, told when it was the disk's.
        context.err << withDiskCause("Erreur : la dictée " + std::to_string(id) + " n'a pas pu être lue",
                                     diskError)
                    << " ; elle est intacte, réessayez." << std::endl;
    } else {
        context.err << "Erreur : aucune dictée n'a l'identifiant " << id << "." << std::endl;
    }
    return CliCommand::kFailure;
}

const std::set<std::string> kFieldOptions = {"title",           "ident", "author",   "context", "typist",
                                             "worktype",        "type",  "priority", "service", "dossier",
                                             "ident-from-image"};

std::set<std::string> withFieldOptions(std::set<std::string> options) {
    options.insert(kFieldOptions.begin(), kFieldOptions.end());
    return options;
}

// "--cut FROM TO" takes two values; the parser knows options of one, so they travel as one.
std::vector<std::string> joinCutValues(const std::vector<std::string>& arguments) {
    std::vector<std::string> joined;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        if (arguments[index] == "--cut" && index + 2 < arguments.size()) {
            joined.push_back("--cut=" + arguments[index + 1] + " " + arguments[index + 2]);
            index += 2;
        } else {
            joined.push_back(arguments[index]);
        }
    }
    return joined;
}

std::optional<double> parseSeconds(const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

// Applies the field options to the parameters; the usage error's text when one is wrong.
std::optional<std::string> applyFieldOptions(const CliArguments& parsed, ParamWorkflow& parameters) {
    auto set = [&](const char* option, std::string& field) {
        if (auto value = parsed.option(option)) {
            field = *value;
        }
    };
    set("title", parameters.firstField);
    set("ident", parameters.secondField);
    set("author", parameters.auteur);
    set("context", parameters.contexte);
    set("typist", parameters.secretaire);
    set("worktype", parameters.worktype);
    if (auto type = parsed.option("type")) {
        parameters.typeDictee = ParamWorkflow::labelForTypeCode(*type);
    }
    if (auto priority = parsed.option("priority")) {
        static const std::map<std::string, int> numbers = {{"basse", 0}, {"moyenne", 1}, {"haute", 2}};
        auto number = numbers.find(*priority);
        if (number == numbers.end()) {
            return "priorité inconnue : " + *priority + " (basse, moyenne ou haute)";
        }
        parameters.priority = ParamWorkflow::priorityLabel(number->second);
    }
    if (auto service = parsed.option("service")) {
        // A row id or a guid: the parameter screen checks it among the author's services.
        if (service->empty()) {
            return "identifiant de service invalide : " + *service;
        }
        if (auto id = DictationFormat::parseIdentifier(*service); id && *id <= INT32_MAX) {
            parameters.serviceID = static_cast<std::int32_t>(*id);
        }
    }
    return std::nullopt;
}

// The refusal of the field options: wrong usage, or what they asked for failed (said once).
int refuseFields(CliContext& context, const DictationFields::Problem& problem) {
    if (problem.usage) {
        return CliCommand::usageError(context, problem.text);
    }
    if (!context.alreadyShown(problem.text)) {
        context.err << "Erreur : " << problem.text << std::endl;
    }
    return CliCommand::kFailure;
}

// The field options as the parameter screen takes them (checked before), the priority as the
// recorder does.
void applyChosenFields(const CliArguments& parsed, ParamWorkflow& parameters) {
    ParamWorkflow given = parameters;
    applyFieldOptions(parsed, given);
    DictationFields::choose(parameters, parsed, false);
    parameters.priority = given.priority;
}

// One recording screen per profile: the application or another command may have one open.
bool recorderAvailable(CliContext& context) {
    if (auto why = AudioRecordControllerThree::recorderUnavailable()) {
        context.err << "Erreur : " << *why << std::endl;
        return false;
    }
    return true;
}

// A dictation open in a recording screen is written back by that screen's save: a change made
// here meanwhile would be overwritten, and a deletion would leave the screen unable to save. The
// change takes the screen's own lock for as long as it is made (so no screen opens meanwhile)
// and is refused while a screen, here or in the application, holds it. `done` says what would
// not happen ("supprimée", "modifiée"). Another command making its own change holds the lock
// for an instant only: it is waited for a little. Nothing when refused (said on the error stream).
std::unique_ptr<RecorderTrackFiles> reserveAgainstRecorder(CliContext& context, std::int64_t id,
                                                           const std::string& done) {
    auto files = std::make_unique<RecorderTrackFiles>();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!files->reserve()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (files->reserved()) {
        return files;
    }
    const std::string why = RecorderTrackFiles::unavailable().value_or(
        "Un enregistrement vient d'être ouvert sur ce profil. Terminez-le avant de recommencer.");
    context.err << "Erreur : la dictée " << id << " n'est pas " << done << " : " << why << std::endl;
    return nullptr;
}

// Opens the recording screen the way the dictation list does (microphone check, then the
// parameter screen when "ShowSettingsForRecord" asks for it, whose answer is the field options
// given: "Valider"), handing the opening to the recorder driver with those options applied.
// False when the list opened nothing (it said why).
bool openThroughList(DictationRecorder& recorder, const std::optional<DicteeModel>& record,
                     const CliArguments& parsed, CliContext& context) {
    ListeDictViewController list(context.application, ListeDictViewController::WithoutStart{});
    std::optional<ParamWorkflow> chosen;
    std::optional<std::int64_t> opened;
    list.setRecorderOpener([&](std::optional<std::int64_t> idDictee, const ParamWorkflow& parameters) {
        chosen = parameters;
        opened = idDictee;
    });
    if (record) {
        list.openRecorderUI(DictationCell(*record, Uploader::dictationBeingSent()));
    } else {
        list.NewDictee();
    }
    // The microphone's answer comes through the main loop.
    RunLoop::main().runPending();
    if (const auto& pending = list.pendingParameters()) {
        ParamWorkflow answered = pending->parameters;
        applyChosenFields(parsed, answered);
        answered.isChanged = true;
        Notification::pushNotification(
            localized("PARAM_WORKFLOW_DICTEE_CHANGES_SAVED", "Paramètres enregistrés"));
        list.parameterScreenFinished(answered, false);
    }
    if (!chosen) {
        return false;
    }
    ParamWorkflow parameters = *chosen;
    applyChosenFields(parsed, parameters);
    return recorder.open(opened, parameters);
}

int closeRecorder(DictationRecorder& recorder, const CliArguments& parsed, CliContext& context) {
    const bool send = parsed.flag("send");
    auto id = send ? recorder.send() : recorder.interrupt();
    if (!id) {
        context.err << "Erreur : la dictée n'a pas été enregistrée." << std::endl;
        return CliCommand::kFailure;
    }
    const DicteeModel record = DicteeRequest().selectDictee(*id, DictationFormat::kJsonDatePattern);
    context.err << "Dictée " << *id << (send ? " enregistrée pour l'envoi." : " enregistrée comme brouillon.")
                << std::endl;
    if (send && (record.auteur.empty() || record.worktype.empty() || record.titre.empty())) {
        // Said now rather than discovered after the next send.
        context.err << "Attention : il lui manque l'auteur, le worktype ou le titre ; l'envoi la remettra en "
                       "brouillon tant qu'ils ne sont pas donnés."
                    << std::endl;
    }
    if (parsed.flag("json")) {
        context.out << CliCommand::jsonText(DictationFormat::toJson(record)) << std::endl;
    } else {
        context.out << *id << std::endl;
    }
    return CliCommand::kSuccess;
}

// Warns of takes whose file holds less audio than announced: recorded as they are.
void warnTruncatedTakes(const std::vector<std::string>& paths, CliContext& context) {
    for (const auto& path : paths) {
        if (auto warning = DictationRecorder::truncationWarning(path)) {
            context.err << "Attention : " << *warning << std::endl;
        }
    }
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
    auto id = DictationFormat::parseIdentifier(positional.front());
    if (!id) {
        usageError(context, "identifiant de dictée invalide : " + positional.front());
    }
    return id;
}

std::vector<std::string> DictationCommand::helpLines() const {
    return {
        "dictation list [--outbox|--sent|--all] [--json]",
        "                              les dictées comme la liste les montre (par défaut celles",
        "                              qui restent à envoyer) : état, durées, priorité, titre",
        "dictation show ID [--json]    une dictée avec tous ses champs",
        "dictation delete ID [--yes]   supprime une dictée, ses enregistrements et ses photos ;",
        "                              confirmé sur le terminal, ou d'avance par --yes",
        "dictation xml ID              le descripteur XML qui serait envoyé avec la dictée",
        "dictation new --audio WAV [--instruction WAV] [--title T] [--ident V] [--author A]",
        "              [--context C] [--typist S] [--worktype W] [--type TYPE]",
        "              [--priority basse|moyenne|haute] [--service ID] [--dossier NUMÉRO]",
        "              [--ident-from-image IMAGE] [--draft | --send] [--json]",
        "                              enregistre une nouvelle dictée (une prise par fichier) ;",
        "                              auteur, contexte, worktype, secrétaire et service parmi ceux",
        "                              du workflow importé (« orvaneh-cli workflow show ») ;",
        "                              TYPE : BatchModeRecognition ou DigitalDictation ; --dossier :",
        "                              titre et identifiant pris d'un dossier du serveur de dossiers",
        "                              (« dossier login ») ; --ident-from-image : identifiant lu sur le",
        "                              code-barres ou QR code d'une image PNG ou JPEG",
        "dictation edit ID [--track dictation|instruction] [--at SECONDES --take WAV]",
        "              [--cut DE A [--yes]] [mêmes options de champs] [--draft | --send] [--json]",
        "                              ajoute une prise au curseur ou coupe un passage ; la coupure",
        "                              est confirmée sur le terminal, ou d'avance par --yes",
        "dictation record [ID] [--track dictation|instruction] [--at SECONDES] [--duree SECONDES]",
        "              [mêmes options de champs] [--draft | --send] [--json]",
        "                              enregistre au micro (serveur PulseAudio) une nouvelle dictée,",
        "                              ou une prise au curseur de la dictée ID ; niveau et durée",
        "                              affichés ; arrêt par espace ou Entrée, Ctrl-C (la prise est",
        "                              gardée), la fin de l'entrée standard, ou après --duree",
        "dictation params ID [--title T] [--ident V] [--author A] [--service ID] [--type TYPE]",
        "              [--context C] [--worktype W] [--typist S] [--dossier NUMÉRO]",
        "              [--ident-from-image IMAGE] [--json]",
        "                              les paramètres de la dictée ; avec des options, choisis comme",
        "                              sur son écran de paramètres (ils deviennent aussi ceux par",
        "                              défaut)",
        "dictation pictures ID [--add IMAGE]... [--delete NOM [--yes]] [--json]",
        "                              les photos de la dictée ; --add en ajoute une (JPEG ou PNG,",
        "                              mise à 1200 × 800), --delete en supprime une après",
        "                              confirmation sur le terminal, ou d'avance par --yes",
    };
}

int DictationCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(*this, arguments, context,
                    {{"list", &DictationCommand::list},
                     {"show", &DictationCommand::show},
                     {"delete", &DictationCommand::remove},
                     {"xml", &DictationCommand::xml},
                     {"new", &DictationCommand::create},
                     {"edit", &DictationCommand::edit},
                     {"record", &DictationCommand::record},
                     {"params", &DictationCommand::params},
                     {"pictures", &DictationCommand::pictures}});
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
    if (!context.start()) {
        return kFailure;
    }
    const bool json = parsed->flag("json");
    const auto pattern = json ? DictationFormat::kJsonDatePattern : DictationFormat::kTextDatePattern;
    // The rows of the list's tabs; --all reads both at once.
    std::vector<DictationCell> rows;
    if (filter == DicteeRequest::kAll) {
        const std::int64_t beingSent = Uploader::dictationBeingSent();
        for (const auto& record : DicteeRequest().getListDictee(filter, pattern)) {
            rows.emplace_back(record, beingSent);
        }
    } else {
        rows = ListeDictViewController::BuildTab(filter == DicteeRequest::kSent, pattern);
    }
    if (json) {
        Json all = Json::array();
        for (const auto& row : rows) {
            all.push_back(DictationFormat::toJson(row.record, row.state));
        }
        context.out << jsonText(all) << std::endl;
        return kSuccess;
    }
    if (rows.empty()) {
        // As the list's empty tab says it.
        context.out << (filter == DicteeRequest::kAll
                            ? std::string("Aucune dictée")
                            : ListeDictViewController::emptyTextFor(filter == DicteeRequest::kSent))
                    << "." << std::endl;
        return kSuccess;
    }
    for (const auto& row : rows) {
        context.out << std::right << std::setw(5) << row.idDictee << "  " << row.date << "  "
                    << padded(row.state, 17) << "  " << padded(durations(row.record), 17) << "  "
                    << padded(row.priorityWord, 7) << "  " << DictationFormat::oneLine(row.title) << "\n";
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
    if (!context.start()) {
        return kFailure;
    }
    const bool json = parsed->flag("json");
    DicteeRequest dictations;
    DicteeModel record = dictations.selectDictee(*id, json ? DictationFormat::kJsonDatePattern
                                                           : DictationFormat::kTextDatePattern);
    if (record.idDictee == 0) {
        return unknownDictation(context, *id, dictations.diskError());
    }
    if (json) {
        context.out << jsonText(DictationFormat::toJson(record)) << std::endl;
        return kSuccess;
    }
    context.out << "Dictée " << record.idDictee << "\n"
                << "Titre : " << DictationFormat::oneLine(record.titre) << "\n"
                << "Date : " << record.date << "\n"
                << "État : " << DictationFormat::stateLabel(record) << "\n"
                << "Durées : " << DictationFormat::duration(DictationFormat::trackSeconds(record, false))
                << " (instruction " << DictationFormat::duration(DictationFormat::trackSeconds(record, true))
                << ")\n"
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
    auto parsed = parseArguments(arguments, {"yes"}, {}, context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    // The list asks before deleting: a script answers with --yes, a person on the terminal.
    if (!parsed->flag("yes") && !context.interactive) {
        return usageError(context, "la suppression demande une confirmation et il n'y a pas de terminal pour "
                                   "la poser : ajoutez --yes pour confirmer");
    }
    if (!context.start()) {
        return kFailure;
    }
    if (DicteeRequest dictations; dictations.selectDictee(*id).idDictee == 0) {
        return unknownDictation(context, *id, dictations.diskError());
    }
    const auto reserved = reserveAgainstRecorder(context, *id, "supprimée");
    if (!reserved) {
        return kFailure;
    }
    ListeDictViewController list(context.application, ListeDictViewController::WithoutStart{});
    if (parsed->flag("yes")) {
        UserInterface::shared().queueAnswer(1);
    }
    using Removal = ListeDictViewController::Removal;
    Removal outcome = Removal::Cancelled;
    list.askToDelete(*id, [&outcome](Removal removal) { outcome = removal; });
    switch (outcome) {
    case Removal::Removed:
        context.out << "Dictée " << *id << " supprimée, avec ses enregistrements et ses photos." << std::endl;
        return kSuccess;
    case Removal::Cancelled:
        context.err << "Dictée " << *id << " conservée." << std::endl;
        return kFailure;
    case Removal::Unknown:
        return unknownDictation(context, *id);
    case Removal::Transferring:
    case Removal::Failed:
        break; // the list said why
    }
    return kFailure;
}

int DictationCommand::xml(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {}, {}, context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    DicteeRequest dictations;
    DicteeModel record = dictations.selectDictee(*id);
    if (record.idDictee == 0) {
        return unknownDictation(context, *id, dictations.diskError());
    }
    XMLForThirdParty descriptor;
    descriptor.setDictee(record);
    context.out << descriptor.SerializeObject() << std::flush;
    return kSuccess;
}

int DictationCommand::create(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"draft", "send", "json"},
                               withFieldOptions({"audio", "instruction"}), context);
    if (!parsed) {
        return kUsageError;
    }
    if (parsed->flag("draft") && parsed->flag("send")) {
        return usageError(context, "--draft et --send s'excluent");
    }
    auto audio = parsed->option("audio");
    if (!audio) {
        return usageError(context, "il manque --audio FICHIER.wav");
    }
    ParamWorkflow parameters;
    if (auto problem = applyFieldOptions(*parsed, parameters)) {
        return usageError(context, *problem);
    }
    if (!context.start()) {
        return kFailure;
    }
    // The list's new-dictation guard, before the options are checked against the workflow.
    if (!ListeDictViewController::canCreateDictation()) {
        return kFailure;
    }
    // The stored defaults, then what the options say; every field as the pickers would offer it.
    parameters.getParamWorkflow();
    if (auto problem = DictationFields::choose(parameters, *parsed, true)) {
        return refuseFields(context, *problem);
    }
    DictationFields::settle(*parsed, parameters);
    const double rate = DictationRecorder::expectedSampleRate(std::nullopt);
    std::vector<std::string> takes;
    for (const auto* option : {"audio", "instruction"}) {
        if (auto path = parsed->option(option)) {
            if (auto problem = DictationRecorder::checkTakeFile(*path, rate)) {
                context.err << "Erreur : " << *problem << std::endl;
                return kFailure;
            }
            takes.push_back(*path);
        }
    }
    warnTruncatedTakes(takes, context);
    if (!recorderAvailable(context)) {
        return kFailure;
    }
    DictationRecorder recorder(context.application, context.err);
    if (!openThroughList(recorder, std::nullopt, *parsed, context)) {
        return kFailure; // the list or the screen said why
    }
    if (!recorder.recordTake(*audio)) {
        return kFailure;
    }
    if (auto instruction = parsed->option("instruction")) {
        recorder.selectTrack(DictationRecorder::Track::Instruction);
        if (!recorder.recordTake(*instruction)) {
            return kFailure;
        }
    }
    return closeRecorder(recorder, *parsed, context);
}

int DictationCommand::params(const std::vector<std::string>& arguments, CliContext& context) {
    const std::set<std::string> options(DictationFields::screenOptions().begin(),
                                        DictationFields::screenOptions().end());
    auto parsed = parseArguments(arguments, {"json"}, options, context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    DicteeRequest dictations;
    DicteeModel record = dictations.selectDictee(*id);
    if (record.idDictee == 0) {
        return unknownDictation(context, *id, dictations.diskError());
    }
    if (DictationFields::anyGiven(*parsed)) {
        if (record.envoi == 1) {
            context.err << "Erreur : la dictée " << *id << " est envoyée : ses paramètres ne changent plus."
                        << std::endl;
            return kFailure;
        }
        const auto reserved = reserveAgainstRecorder(context, *id, "modifiée");
        if (!reserved) {
            return kFailure;
        }
        // The list's parameters button: the screen it presents, answered as a person would.
        ListeDictViewController list(context.application, ListeDictViewController::WithoutStart{});
        list.openParameters(DictationCell(record, Uploader::dictationBeingSent()));
        auto screen =
            std::dynamic_pointer_cast<ParamWorkflowDictee>(context.application.navigation().presented());
        if (!screen || !list.pendingParameters()) {
            return kFailure; // the list said why
        }
        if (auto problem = DictationFields::applyToScreen(*screen, *parsed)) {
            list.parameterScreenFinished(screen->paramWorkflow(), true);
            return refuseFields(context, *problem);
        }
        screen->saveParamWorkflow();
    }
    const bool json = parsed->flag("json");
    record = DicteeRequest().selectDictee(*id, json ? DictationFormat::kJsonDatePattern
                                                    : DictationFormat::kTextDatePattern);
    if (json) {
        context.out << jsonText(DictationFormat::toJson(record)) << std::endl;
        return kSuccess;
    }
    ParamWorkflow shown;
    shown.getParamWorkflowDictee(*id);
    const ParamWorkflowDictee screen(shown);
    for (int tag : screen.rowTags()) {
        context.out << AbstractParamWorkflow::fieldLabel(tag) << " : " << screen.fieldText(tag) << "\n";
    }
    context.out << AbstractParamWorkflow::fieldLabel(AbstractParamWorkflow::kPriorityTag) << " : "
                << record.priorite << std::endl;
    return kSuccess;
}

bool DictationCommand::readTakePlace(const CliArguments& parsed, CliContext& context, std::string& track,
                                     std::optional<double>& at) {
    if (parsed.flag("draft") && parsed.flag("send")) {
        usageError(context, "--draft et --send s'excluent");
        return false;
    }
    track = parsed.option("track").value_or("dictation");
    if (track != "dictation" && track != "instruction") {
        usageError(context, "piste inconnue : " + track + " (dictation ou instruction)");
        return false;
    }
    if (auto text = parsed.option("at")) {
        at = parseSeconds(*text);
        if (!at) {
            usageError(context, "position invalide : " + *text);
            return false;
        }
    }
    return true;
}

int DictationCommand::edit(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(joinCutValues(arguments), {"draft", "send", "json", "yes"},
                                 withFieldOptions({"track", "at", "take", "cut"}), context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    std::string track;
    std::optional<double> at;
    if (!readTakePlace(*parsed, context, track, at)) {
        return kUsageError;
    }
    std::optional<std::pair<double, double>> cut;
    if (auto text = parsed->option("cut")) {
        auto blank = text->find(' ');
        auto from = blank == std::string::npos ? std::nullopt : parseSeconds(text->substr(0, blank));
        auto to = blank == std::string::npos ? std::nullopt : parseSeconds(text->substr(blank + 1));
        if (!from || !to || *from == *to) {
            return usageError(context, "--cut attend deux positions différentes en secondes");
        }
        cut = std::pair{*from, *to};
    }
    auto take = parsed->option("take");
    if (take && cut) {
        return usageError(context, "--take et --cut s'excluent : une modification à la fois");
    }
    if (at && !take) {
        return usageError(context, "--at s'emploie avec --take");
    }
    // The screen asks before cutting: a script answers with --yes, a person on the terminal.
    if (cut && !parsed->flag("yes") && !context.interactive) {
        return usageError(context, "la coupure demande une confirmation et il n'y a pas de terminal pour la "
                                   "poser : ajoutez --yes pour confirmer");
    }
    {
        ParamWorkflow unchecked;
        if (auto problem = applyFieldOptions(*parsed, unchecked)) {
            return usageError(context, *problem);
        }
    }
    if (!context.start()) {
        return kFailure;
    }

    DicteeRequest dictations;
    DicteeModel record = dictations.selectDictee(*id);
    if (record.idDictee == 0) {
        return unknownDictation(context, *id, dictations.diskError());
    }
    ParamWorkflow parameters;
    parameters.getParamWorkflowDictee(*id);
    // Only what this edit changes: the fields stored before may name what a later import dropped.
    if (auto problem = DictationFields::choose(parameters, *parsed, false)) {
        return refuseFields(context, *problem);
    }
    DictationFields::settle(*parsed, parameters);
    if (take) {
        if (auto problem =
                DictationRecorder::checkTakeFile(*take, DictationRecorder::expectedSampleRate(*id))) {
            context.err << "Erreur : " << *problem << std::endl;
            return kFailure;
        }
        warnTruncatedTakes({*take}, context);
    }
    if (!recorderAvailable(context)) {
        return kFailure;
    }
    DictationRecorder recorder(context.application, context.err);
    if (!openThroughList(recorder, record, *parsed, context)) {
        return kFailure; // the list or the screen said why
    }
    recorder.selectTrack(track == "instruction" ? DictationRecorder::Track::Instruction
                                                : DictationRecorder::Track::Dictation);
    if (take) {
        if (at) {
            if (*at > recorder.currentTrackDuration()) {
                return usageError(context, "la position dépasse la fin de la piste (" +
                                               DictationFormat::duration(recorder.currentTrackDuration()) +
                                               ")");
            }
            recorder.moveCursor(*at);
        }
        if (!recorder.recordTake(*take)) {
            return kFailure;
        }
    }
    if (cut) {
        const double length = recorder.currentTrackDuration();
        if (cut->first > length || cut->second > length) {
            return usageError(context, "la coupure dépasse la fin de la piste (" +
                                           DictationFormat::duration(length) + ")");
        }
        if (!recorder.cut(cut->first, cut->second, parsed->flag("yes"))) {
            return kFailure;
        }
    }
    return closeRecorder(recorder, *parsed, context);
}

int DictationCommand::record(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {"draft", "send", "json"},
                                 withFieldOptions({"track", "at", "duree"}), context);
    if (!parsed) {
        return kUsageError;
    }
    std::optional<std::int64_t> id;
    if (!parsed->positional().empty()) {
        id = identifierArgument(*parsed, context);
        if (!id) {
            return kUsageError;
        }
    }
    std::string track;
    std::optional<double> at;
    if (!readTakePlace(*parsed, context, track, at)) {
        return kUsageError;
    }
    std::optional<double> limit;
    if (auto text = parsed->option("duree")) {
        limit = parseSeconds(*text);
        if (!limit || *limit <= 0) {
            return usageError(context, "durée invalide : " + *text + " (des secondes, plus que zéro)");
        }
    }
    {
        ParamWorkflow unchecked;
        if (auto problem = applyFieldOptions(*parsed, unchecked)) {
            return usageError(context, *problem);
        }
    }
#ifndef ORVANEH_HAVE_PULSE
    context.err
        << "Erreur : cette version d'orvaneh-cli est construite sans PulseAudio : l'enregistrement au "
           "micro n'est pas disponible (utilisez « dictation new --audio »)."
        << std::endl;
    return kFailure;
#else
    if (!context.start()) {
        return kFailure;
    }
    std::optional<DicteeModel> record;
    ParamWorkflow parameters;
    if (id) {
        DicteeRequest dictations;
        record = dictations.selectDictee(*id);
        if (record->idDictee == 0) {
            return unknownDictation(context, *id, dictations.diskError());
        }
        parameters.getParamWorkflowDictee(*id);
        // Only what this take changes, as with edit.
        if (auto problem = DictationFields::choose(parameters, *parsed, false)) {
            return refuseFields(context, *problem);
        }
    } else {
        if (!ListeDictViewController::canCreateDictation()) {
            return kFailure;
        }
        parameters.getParamWorkflow();
        if (auto problem = DictationFields::choose(parameters, *parsed, true)) {
            return refuseFields(context, *problem);
        }
    }
    DictationFields::settle(*parsed, parameters);
    if (!recorderAvailable(context)) {
        return kFailure;
    }
    // The server libpulse finds (PULSE_SERVER, then the user's own), reached over SSH too when
    // the session forwards it. Asked before anything opens, so that nothing is stored without it.
    auto microphone = std::make_shared<PulseMediaBackend>();
    if (microphone->audioSession().recordPermission() != AudioSession::RecordPermission::Granted) {
        context.err
            << "Erreur : aucun micro n'est disponible (pas de serveur PulseAudio joignable, ou aucune "
               "entrée audio) ; rien n'a été enregistré."
            << std::endl;
        return kFailure;
    }
    DictationRecorder recorder(context.application, context.err, microphone);
    if (!openThroughList(recorder, record, *parsed, context)) {
        return kFailure; // the list or the screen said why
    }
    recorder.selectTrack(track == "instruction" ? DictationRecorder::Track::Instruction
                                                : DictationRecorder::Track::Dictation);
    if (at) {
        if (*at > recorder.currentTrackDuration()) {
            return usageError(context, "la position dépasse la fin de la piste (" +
                                           DictationFormat::duration(recorder.currentTrackDuration()) + ")");
        }
        recorder.moveCursor(*at);
    }
    std::optional<double> added;
    {
        // With --duree the end of input only stops the reading: a script's input is often empty.
        LiveTakeConsole console(context.err, !limit);
        if (!recorder.startLiveTake()) {
            return kFailure;
        }
        const auto stop = console.waitForStop(recorder, limit);
        added = recorder.stopLiveTake();
        // The terminal is given back before the closing questions.
        console.close();
        if (stop == LiveTakeConsole::Stop::Signal) {
            context.err << "Interrompu : la prise est gardée." << std::endl;
        }
    }
    // The recording screen may have shown it as a banner already.
    if (const auto& lost = recorder.liveTakeLost(); lost && !context.alreadyShown(*lost)) {
        context.err << "Attention : " << *lost << std::endl;
    }
    if (!added) {
        return kFailure;
    }
    context.err << "Prise de " << DictationFormat::duration(*added) << " ajoutée." << std::endl;
    return closeRecorder(recorder, *parsed, context);
#endif
}

int DictationCommand::pictures(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {"yes", "json"}, {"add", "delete"}, context);
    auto id = parsed ? identifierArgument(*parsed, context) : std::nullopt;
    if (!id) {
        return kUsageError;
    }
    const auto additions = parsed->values("add");
    const auto removals = parsed->values("delete");
    if (removals.size() > 1) {
        return usageError(context, "une seule photo à la fois avec --delete");
    }
    if (!additions.empty() && !removals.empty()) {
        return usageError(context, "--add et --delete s'excluent");
    }
    if (std::find(additions.begin(), additions.end(), std::string()) != additions.end()) {
        return usageError(context, "--add attend le chemin d'une image");
    }
    if (parsed->flag("yes") && removals.empty()) {
        return usageError(context, "--yes s'emploie avec --delete");
    }
    // The screen asks before deleting: a script answers with --yes, a person on the terminal.
    if (!removals.empty() && !parsed->flag("yes") && !context.interactive) {
        return usageError(context, "la suppression demande une confirmation et il n'y a pas de terminal pour "
                                   "la poser : ajoutez --yes pour confirmer");
    }
    if (!context.start()) {
        return kFailure;
    }
    // Picture names carry the identifier as a 32-bit number.
    if (DicteeRequest dictations; *id > INT32_MAX || dictations.selectDictee(*id).idDictee == 0) {
        return unknownDictation(context, *id, dictations.diskError());
    }
    std::unique_ptr<RecorderTrackFiles> reserved;
    if (!additions.empty() || !removals.empty()) {
        // The recording screen keeps the pictures of the dictation it has open.
        reserved = reserveAgainstRecorder(context, *id, "modifiée");
        if (!reserved) {
            return kFailure;
        }
    }
    PicturesViewController screen;
    screen.setDicteeId(static_cast<std::int32_t>(*id));
    screen.setSendingProbe(&Uploader::dictationBeingSent);
    screen.loadPictures();
    const bool json = parsed->flag("json");
    for (const auto& path : additions) {
        if (!screen.addPictureFromFile(path)) {
            return kFailure; // the screen said why
        }
        if (!json) {
            context.out << "Photo ajoutée : " << screen.lastSavedName() << std::endl;
        }
    }
    if (!removals.empty()) {
        const auto& all = screen.pictures();
        const auto found = std::find(all.begin(), all.end(), removals.front());
        if (found == all.end()) {
            context.err << "Erreur : la dictée " << *id << " n'a pas de photo « " << removals.front() << " »."
                        << std::endl;
            return kFailure;
        }
        if (parsed->flag("yes")) {
            UserInterface::shared().queueAnswer(0);
        }
        bool deleted = false;
        if (!screen.deletePictureAtIndex(static_cast<std::size_t>(found - all.begin()),
                                         [&deleted](bool done) { deleted = done; })) {
            return kFailure; // the screen said why
        }
        if (!deleted) {
            context.err << "Photo « " << removals.front() << " » conservée." << std::endl;
            return kFailure;
        }
        if (!json) {
            context.out << "Photo supprimée : " << removals.front() << std::endl;
        }
    }
    const auto items = screen.items();
    if (json) {
        Json list = Json::array();
        for (const auto& item : items) {
            list.push_back(
                {{"name", item.name}, {"path", item.path}, {"readable", item.placeholderImage.empty()}});
        }
        context.out << jsonText(list) << std::endl;
    } else if (additions.empty() && removals.empty()) {
        if (items.empty()) {
            context.out << "Aucune photo." << std::endl;
        }
        for (const auto& item : items) {
            context.out << item.name << (item.placeholderImage.empty() ? "" : "  (illisible)") << "\n";
        }
        context.out.flush();
    }
    return kSuccess;
}

} // namespace orvaneh
