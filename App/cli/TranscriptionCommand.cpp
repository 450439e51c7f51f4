#include "App/cli/TranscriptionCommand.h"

#include "Classes/core/siteRequest.h"
#include "Classes/soap/WSVelmora.h"
#include "Classes/soap/WSVelmoraHelper.h"
#include "Classes/soap/WSVelmoraMessage.h"
#include "Classes/soap/WSVelmoraSoapBinding.h"
#include "Classes/transport/WSPost.h"
#include "Classes/workflow/ParserXML.h"
#include "Platform/json/Json.h"
#include "Platform/log/Log.h"
#include "Platform/runloop/Clock.h"

#include <optional>
#include <ostream>
#include <string>

namespace orvaneh {

namespace {

// One call's response message, or the French reason there is none (the fault's text, the
// transport's failure, or an answer without the response).
struct Answer {
    std::optional<WSVelmoraMessage> message;
    std::string failure;
};

Answer ask(WSVelmoraSoapBinding& binding, const WSVelmoraMessage& request,
           const std::optional<WSVelmoraMessage>& header) {
    const auto response = binding.usingParameters(request, header);
    if (const auto* fault = response.firstFault()) {
        const std::string text = fault->faultstring.value_or("");
        return {std::nullopt,
                text.empty() ? "Le service de transcription a refusé la demande (" + request.name() + ")."
                             : text};
    }
    if (response.error) {
        return {std::nullopt, WSVelmoraHelper::failureText(*response.error)};
    }
    if (const auto* message = response.firstMessage()) {
        return {*message, {}};
    }
    return {std::nullopt,
            "Le service de transcription n'a pas répondu à la demande (" + request.name() + ")."};
}

// The check's findings, printed as they come in text, or as one object at the end.
class Report {
public:
    Report(CliContext& context, bool json) : context_(context), json_(json) {}

    void line(const std::string& text) {
        if (!json_) {
            context_.out << text << "\n";
        }
    }
    Json& object() { return object_; }

    // Says why the check stops and ends it with a failure.
    int fail(const std::string& reason) {
        Log::write("Vérification du service de transcription : " + reason);
        context_.err << "Erreur : " << reason << std::endl;
        object_["erreur"] = reason;
        return finish(CliCommand::kFailure);
    }
    int finish(int status) {
        if (json_) {
            context_.out << CliCommand::jsonText(object_) << "\n";
        }
        context_.out.flush();
        return status;
    }

private:
    CliContext& context_;
    bool json_;
    Json object_ = Json{{"site", nullptr},          {"repond", false},        {"authentifie", false},
                        {"modeles", Json::array()}, {"dates", Json::array()}, {"modeleChoisi", nullptr},
                        {"dateChoisie", nullptr},   {"erreur", nullptr}};
};

} // namespace

std::vector<std::string> TranscriptionCommand::helpLines() const {
    return {
        "transcription check [--json]",
        "                              interroge le service de transcription du premier site de type 6 :",
        "                              s'il répond, l'authentification, les modèles de document, les dates",
        "                              de retour proposées, et le modèle et la date qu'une dictée envoyée",
        "                              maintenant recevrait ; code 1 si l'une de ces étapes échoue ;",
        "                              --json : un objet (site, repond, authentifie, modeles, dates,",
        "                              modeleChoisi, dateChoisie, erreur)",
    };
}

int TranscriptionCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    return dispatch(*this, arguments, context, {{"check", &TranscriptionCommand::check}});
}

int TranscriptionCommand::check(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseOptions(arguments, {"json"}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    if (!context.start()) {
        return kFailure;
    }
    Report report(context, parsed->flag("json"));

    const SiteModel site = siteRequest().selectSiteVelmoraIfExist();
    if (site.idSite < 1) {
        return report.fail(
            "aucun site du service de transcription (type 6) n'est configuré. Ajoutez-en un avec "
            "« orvaneh-cli site add --name NOM --type 6 --address HÔTE:PORT --login UTILISATEUR "
            "--password-stdin » (voir « orvaneh-cli site add --help »).");
    }
    // Neither may reach the log, whatever the binding writes there.
    Log::registerSecret(site.mdp);
    Log::registerSecret(site.passwordInAddress());
    const std::string endpoint = WSVelmora::endpointForAddress(site.addressForDisplay());
    report.object()["site"] = Json{{"id", site.idSite}, {"nom", site.name}, {"adresse", endpoint}};
    report.line("Service de transcription du site " + std::to_string(site.idSite) + " « " + site.name +
                " » : " + endpoint);
    if (site.addressWithoutScheme().empty()) {
        return report.fail("le site « " + site.name +
                           " » n'a pas d'adresse ; indiquez-la avec « orvaneh-cli site "
                           "edit " +
                           std::to_string(site.idSite) + " --address HÔTE:PORT ».");
    }
    if (site.mdpUnavailable) {
        return report.fail(site.passwordOutOfReachMessage());
    }
    Log::write("Vérification du service de transcription " + endpoint);

    // One binding for the whole check: the session's cookies go from one call to the next.
    auto binding = WSVelmora::soapBinding(site.address);
    binding->setAuthUsername(site.login);
    binding->setAuthPassword(site.mdp);

    const Answer alive = ask(*binding, *WSVelmoraMessage::request("AreYouAlive"), std::nullopt);
    if (!alive.message) {
        return report.fail(alive.failure);
    }
    if (!alive.message->boolean("AreYouAliveResult").value_or(false)) {
        return report.fail("le service de transcription répond mais se déclare indisponible.");
    }
    report.object()["repond"] = true;
    report.line("Le service répond.");

    auto header = WSVelmoraMessage::securityHeader();
    header.setText("Username", site.login);
    header.setText("Password", site.mdp);
    const Answer session = ask(*binding, *WSVelmoraMessage::request("Authenticate"), header);
    if (!session.message) {
        return report.fail(session.failure);
    }
    const std::string token = session.message->text("AuthenticateResult").value_or("");
    if (token.empty()) {
        return report.fail("le service de transcription n'a pas ouvert de session.");
    }
    Log::registerSecret(token);
    header.setText("AuthenticatedToken", token);
    report.object()["authentifie"] = true;
    report.line("Authentification réussie (identifiant « " + site.login + " »).");

    const Answer modelList = ask(*binding, *WSVelmoraMessage::request("GetModelList"), header);
    if (!modelList.message) {
        return report.fail(modelList.failure);
    }
    const auto models =
        ParserXML::parseFromXML(modelList.message->text("GetModelListResult").value_or(""), ModelDocument{});
    report.line(models.empty() ? "Aucun modèle de document." : "Modèles de document :");
    for (const auto& model : models) {
        report.object()["modeles"].push_back(Json{{"id", model.IdModel},
                                                  {"nom", model.ModelName},
                                                  {"fichier", model.ModelFileName},
                                                  {"type", model.ModelType}});
        report.line("  " + model.ModelName + " (fichier " + model.ModelFileName + ", type " +
                    model.ModelType + ")");
    }

    auto datesRequest = *WSVelmoraMessage::request("GetPossibleDatesOfReturn");
    datesRequest.set("senddate", SoapValue::date(Clock::current()->wallNow()));
    const Answer dateList = ask(*binding, datesRequest, header);
    if (!dateList.message) {
        return report.fail(dateList.failure);
    }
    const auto dates = ParserXML::parseFromXML(
        dateList.message->text("GetPossibleDatesOfReturnResult").value_or(""), PossibleDate{});
    report.line(dates.empty() ? "Aucune date de retour proposée." : "Dates de retour proposées :");
    for (const auto& date : dates) {
        report.object()["dates"].push_back(Json{{"date", date.DateTimeReturn},
                                                {"enTete", date.isHeader},
                                                {"service", date.IdService},
                                                {"option", date.IdOption}});
        // A heading groups the dates listed after it.
        report.line(date.isHeader ? "  " + date.DateTimeReturn + " :" : "    " + date.DateTimeReturn);
    }

    // As the sender chooses for a dictation without a worktype the service knows.
    const auto model = WSPost::chooseModel(models, "");
    const auto date = WSPost::chooseDate(dates);
    if (model) {
        report.object()["modeleChoisi"] = model->ModelName;
    }
    if (!date) {
        return report.fail(
            "le service de transcription ne propose aucune date de retour ; une dictée resterait "
            "dans la boîte d'envoi.");
    }
    report.object()["dateChoisie"] = date->DateTimeReturn;
    report.line("Une dictée envoyée maintenant serait rendue le " + date->DateTimeReturn +
                (model ? ", modèle « " + model->ModelName + " »." : ", sans modèle."));
    Log::write("Vérification du service de transcription réussie");
    return report.finish(kSuccess);
}

} // namespace orvaneh
