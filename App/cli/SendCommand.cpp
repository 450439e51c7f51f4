#include "App/cli/SendCommand.h"

#include "App/cli/DictationFormat.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/ConfigurationManager.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/Tools.h"
#include "Classes/core/siteRequest.h"
#include "Classes/transport/Uploader.h"
#include "Classes/transport/WSPost.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <ostream>

namespace orvaneh {

namespace {

std::string describe(const DicteeModel& record) {
    return "dictée " + std::to_string(record.idDictee) + " « " + record.titre + " »";
}

// When the sender may take a waiting dictation again: at once without an attempt stamp, else
// the first whole second past the retry delay.
double nextAttempt(const DicteeModel& record) {
    if (record.tsTransfert == 0) {
        return Tools::unixTsInSeconds();
    }
    return static_cast<double>(record.tsTransfert) + DicteeRequest::kRetryDelaySeconds + 1;
}

// What became of one attempted dictation, in the text and JSON outputs.
struct Outcome {
    DicteeModel record;
    std::string text;
    Json json;
};

Outcome outcomeOf(const DicteeModel& record) {
    Outcome outcome{record, {}, DictationFormat::toJson(record)};
    if (record.envoi != 0) {
        outcome.text = "Envoyée : " + describe(record);
    } else if (record.brouillon) {
        // The sender puts back to draft what it cannot send as it is (a missing author,
        // worktype or title): it will not be tried again until it is saved for sending.
        outcome.text =
            "Non envoyée : " + describe(record) +
            " : remise en brouillon ; complétez-la puis enregistrez-la pour l'envoi (« orvaneh-cli "
            "dictation edit " +
            std::to_string(record.idDictee) + " --author … --worktype … --title … --send »)";
    } else {
        // When: in the closing line, which counts every dictation left.
        outcome.text = "Non envoyée : " + describe(record) + " : reste en attente";
        outcome.json["prochainEssai"] = DictationFormat::jsonDate(nextAttempt(record));
    }
    return outcome;
}

// What the pass did, fed by the sender's notifications from its thread and the main one.
struct Pass {
    std::mutex mutex;
    std::int64_t current = 0;
};

// One pass of the sender in the foreground under `rule`: each attempt is announced on the
// message stream as it opens; what became of it goes to the result (at once in text).
// False when the sender stopped before the queue was done (it said why).
bool runPass(const DicteeRequest::ClaimRule& rule, bool json, std::vector<Outcome>& outcomes,
             CliContext& context) {
    Uploader& uploader = context.application.uploader();
    Pass pass;
    auto& center = NotificationCenter::defaultCenter();
    // The record as the attempt left it, once it closed.
    auto closeCurrent = [&] {
        if (pass.current == 0) {
            return;
        }
        const DicteeModel record =
            DicteeRequest().selectDictee(pass.current, DictationFormat::kJsonDatePattern);
        pass.current = 0;
        if (record.idDictee == 0) {
            return; // deleted during its attempt: nothing left to report
        }
        outcomes.push_back(outcomeOf(record));
        if (!json) {
            context.out << outcomes.back().text << std::endl;
        }
    };
    // The transport announces its upload again: one line per attempt.
    Observation opened = center.addObserver("EnvoiOpen", [&](const PostedNotification&) {
        const std::int64_t id = Uploader::uploadedDicteeId();
        std::lock_guard lock(pass.mutex);
        if (id == 0 || id == pass.current) {
            return;
        }
        pass.current = id;
        const DicteeModel record = DicteeRequest().selectDictee(id);
        if (record.idDictee != 0) { // else deleted since its claim
            context.err << "Envoi de la " << describe(record) << "…" << std::endl;
        }
    });
    Observation closed = center.addObserver("EnvoiClose", [&](const PostedNotification&) {
        std::lock_guard lock(pass.mutex);
        closeCurrent();
    });

    bool passEnded = false;
    Observation ended =
        center.addMainLoopObserver("EnvoiFin", [&](const PostedNotification&) { passEnded = true; });

    // Another process (the application, another send) may be sending on this profile: wait for
    // its pass to end, then do ours, which finds whatever it left.
    std::string lockError;
    FileLock::Result lock = uploader.acquireSenderLock(std::chrono::milliseconds(0), &lockError);
    if (lock == FileLock::Result::HeldElsewhere) {
        context.err << "Un envoi est déjà en cours sur ce profil : attente de sa fin…" << std::endl;
        while ((lock = uploader.acquireSenderLock(std::chrono::seconds(1), &lockError)) ==
               FileLock::Result::HeldElsewhere) {
        }
    }
    if (lock == FileLock::Result::Failed) {
        context.err << "Attention : " << lockError << " ; envoi sans verrou de profil." << std::endl;
    }
    if (!uploader.startRun(rule)) {
        context.err << "Erreur : un envoi est déjà en cours." << std::endl;
        return false;
    }
    // The sender announces the end of its pass ("EnvoiFin"); the main loop runs the transports'
    // callbacks until then. The flag is looked at too: a pass that gave up at once ends before
    // the loop serves the observer.
    while (!passEnded && uploader.running()) {
        RunLoop::main().runUntil([&] { return passEnded || !uploader.running(); }, Seconds(1));
    }
    RunLoop::main().runPending();
    ended.reset();
    opened.reset();
    closed.reset();
    // The sender has told why it stopped (on stderr); the dictations it could not take wait.
    return uploader.passFailure().empty();
}

} // namespace

std::vector<std::string> SendCommand::helpLines() const {
    return {
        "send [ID] [--now] [--json]",
        "                              envoie maintenant les dictées en attente (un passage de la file) ;",
        "                              ID : cette dictée seulement ; --now : sans attendre les deux minutes",
        "                              qui suivent un essai manqué ; code 1 tant qu'il en reste à envoyer"};
}

int SendCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    auto parsed = parseArguments(arguments, {"now", "json"}, {}, context);
    if (!parsed) {
        return kUsageError;
    }
    DicteeRequest::ClaimRule rule;
    rule.ignoreRetryDelay = parsed->flag("now");
    if (parsed->positional().size() > 1) {
        return usageError(context, "send n'envoie qu'une dictée à la fois : " + parsed->positional()[1]);
    }
    if (!parsed->positional().empty()) {
        auto id = DictationFormat::parseIdentifier(parsed->positional().front());
        if (!id || *id < 1) {
            return usageError(context, "identifiant de dictée invalide : " + parsed->positional().front());
        }
        rule.onlyId = *id;
    }
    const bool json = parsed->flag("json");
    if (!context.start()) {
        return kFailure;
    }

    if (rule.onlyId != 0) {
        const DicteeModel record = DicteeRequest().selectDictee(rule.onlyId);
        if (record.idDictee == 0) {
            context.err << "Erreur : aucune dictée n'a l'identifiant " << rule.onlyId << "." << std::endl;
            return kFailure;
        }
        if (record.envoi != 0) {
            context.err << "La " << describe(record) << " est déjà envoyée." << std::endl;
            return kSuccess;
        }
        if (record.brouillon) {
            context.err << "Erreur : la " << describe(record)
                        << " est un brouillon ; enregistrez-la pour l'envoi (« orvaneh-cli dictation edit "
                        << record.idDictee << " --send »)." << std::endl;
            return kFailure;
        }
    }
    // The dictations this command is about that are still to send.
    auto left = [&] {
        std::vector<DicteeModel> records;
        for (auto& record : DicteeRequest().getListDictee(DicteeRequest::kOutbox)) {
            if (!record.brouillon && (rule.onlyId == 0 || record.idDictee == rule.onlyId)) {
                records.push_back(std::move(record));
            }
        }
        return records;
    };
    std::vector<Outcome> outcomes;
    bool stopped = false;
    if (siteRequest().selectSites().empty()) {
        // Attempting would only blame the dictation's site: there is none at all.
        if (!left().empty()) {
            context.err
                << "Erreur : aucun site n'est configuré, les dictées ne peuvent pas partir. Ajoutez-en un "
                   "avec « orvaneh-cli site add --name NOM --type TYPE --address ADRESSE --login "
                   "UTILISATEUR --password-stdin » (voir « orvaneh-cli site add --help »)."
                << std::endl;
            stopped = true;
        }
    } else if (!ConfigurationManager::shouldLinkDictationToSite() &&
               siteRequest().selectDefaultSite().idSite == 0) {
        // Every dictation goes to the default site, and none is marked: say that, not that the
        // dictation's site is gone.
        if (!left().empty()) {
            context.err << "Erreur : aucun site n'est choisi par défaut, les dictées ne peuvent pas partir. "
                           "Choisissez-en un avec « orvaneh-cli site default ID » (« orvaneh-cli site list » "
                           "donne les identifiants)."
                        << std::endl;
            stopped = true;
        }
    } else {
        stopped = !runPass(rule, json, outcomes, context);
    }

    const auto remaining = left();
    // The transcription service's dictations wait for its site, which nothing else names.
    const bool needTranscriptionSite =
        std::any_of(remaining.begin(), remaining.end(), [](const DicteeModel& record) {
            return WSPost::routesToTranscriptionService(record,
                                                        siteRequest::destinationForDictation(record.idSite));
        });
    if (needTranscriptionSite && siteRequest().selectSiteVelmoraIfExist().idSite == 0) {
        context.err
            << "Ajoutez le site du service de transcription avec « orvaneh-cli site add --name NOM --type 6 "
               "--address HÔTE:PORT --login UTILISATEUR --password-stdin »."
            << std::endl;
    }
    std::optional<double> next;
    for (const auto& record : remaining) {
        next = std::min(next.value_or(nextAttempt(record)), nextAttempt(record));
    }
    const bool draftBack = std::any_of(outcomes.begin(), outcomes.end(), [](const Outcome& outcome) {
        return outcome.record.envoi == 0 && outcome.record.brouillon;
    });
    if (json) {
        Json report = {{"tentatives", Json::array()}, {"resteAEnvoyer", remaining.size()}};
        for (const auto& outcome : outcomes) {
            report["tentatives"].push_back(outcome.json);
        }
        report["prochainEssai"] = next ? Json(DictationFormat::jsonDate(*next)) : Json(nullptr);
        context.out << jsonText(report) << std::endl;
    } else if (!remaining.empty()) {
        context.out << "Reste à envoyer : " << remaining.size()
                    << (remaining.size() == 1 ? " dictée" : " dictées");
        // After a stop the cause is not the retry delay: it was said above.
        if (!stopped && *next <= Tools::unixTsInSeconds()) {
            context.out << " ; prochain essai possible dès maintenant";
        } else if (!stopped) {
            context.out << " ; prochain essai à partir de " << DictationFormat::textTime(*next)
                        << " (« orvaneh-cli send --now » pour réessayer tout de suite)";
        }
        context.out << ".\n";
    } else if (outcomes.empty() && !stopped) {
        context.out << "Aucune dictée à envoyer.\n";
    }
    context.out.flush();
    return remaining.empty() && !draftBack && !stopped ? kSuccess : kFailure;
}

} // namespace orvaneh
