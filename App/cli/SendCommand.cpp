#include "App/cli/SendCommand.h"

#include "Classes/core/DicteeRequest.h"
#include "Classes/core/OrvanehAppDelegate.h"
#include "Classes/transport/Uploader.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <ostream>

namespace orvaneh {

namespace {

std::string describe(const DicteeModel& record) {
    return "dictée " + std::to_string(record.idDictee) + " « " + record.titre + " »";
}

// What the pass did, fed by the sender's notifications from its thread and the main one.
struct Pass {
    std::mutex mutex;
    std::int64_t current = 0;
    std::vector<std::int64_t> attempted;
};

} // namespace

std::vector<std::string> SendCommand::helpLines() const {
    return {"send                          envoie maintenant les dictées en attente (un passage de la file)"};
}

int SendCommand::run(const std::vector<std::string>& arguments, CliContext& context) {
    if (!arguments.empty()) {
        return usageError(context, "send ne prend pas d'argument");
    }
    Uploader& uploader = context.application.uploader();
    Pass pass;
    auto& center = NotificationCenter::defaultCenter();
    // The transport announces its upload again: one line per attempt.
    Observation opened = center.addObserver("EnvoiOpen", [&](const PostedNotification&) {
        const std::int64_t id = Uploader::uploadedDicteeId();
        std::lock_guard lock(pass.mutex);
        if (id == 0 || id == pass.current) {
            return;
        }
        pass.current = id;
        if (std::find(pass.attempted.begin(), pass.attempted.end(), id) == pass.attempted.end()) {
            pass.attempted.push_back(id);
        }
        const DicteeModel record = DicteeRequest().selectDictee(id);
        if (record.idDictee != 0) { // else deleted since its claim
            context.err << "Envoi de la " << describe(record) << "…" << std::endl;
        }
    });
    Observation closed = center.addObserver("EnvoiClose", [&](const PostedNotification&) {
        std::lock_guard lock(pass.mutex);
        if (pass.current == 0) {
            return;
        }
        const DicteeModel record = DicteeRequest().selectDictee(pass.current);
        pass.current = 0;
        if (record.idDictee == 0) {
            return; // deleted during its attempt: nothing left to report
        }
        context.err << (record.envoi != 0 ? "Envoyée : " : "Reste en attente : ") << describe(record)
                    << std::endl;
    });

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
    if (!uploader.startRun()) {
        context.err << "Erreur : un envoi est déjà en cours." << std::endl;
        return kFailure;
    }
    // The sender ends its pass on its own thread: look again every tenth of a second.
    while (uploader.running()) {
        RunLoop::main().runUntil([&] { return !uploader.running(); }, Seconds(0.1));
    }
    RunLoop::main().runPending();
    opened.reset();
    closed.reset();

    std::vector<DicteeModel> sent;
    std::vector<DicteeModel> pending;
    for (std::int64_t id : pass.attempted) {
        DicteeModel record = DicteeRequest().selectDictee(id);
        if (record.idDictee != 0) { // a dictation deleted during the pass is simply gone
            (record.envoi != 0 ? sent : pending).push_back(record);
        }
    }
    // The sender has told why it stopped (on stderr); the dictations it could not take wait.
    const bool stopped = !uploader.passFailure().empty();
    if (pass.attempted.empty() && !stopped) {
        // Not "the outbox is empty": a dictation tried less than two minutes ago waits its turn.
        std::size_t waiting = 0;
        for (const auto& record : DicteeRequest().getListDictee(DicteeRequest::kOutbox)) {
            waiting += record.brouillon ? 0 : 1;
        }
        if (waiting == 0) {
            context.out << "Aucune dictée à envoyer.\n";
        } else {
            context.out << "Aucune dictée à envoyer maintenant : " << waiting
                        << (waiting == 1 ? " dictée attend son" : " dictées attendent leur")
                        << " nouvel essai (deux minutes après la dernière tentative).\n";
        }
    }
    for (const auto& record : sent) {
        context.out << "Envoyée : " << describe(record) << "\n";
    }
    for (const auto& record : pending) {
        context.out << "En attente : " << describe(record)
                    << " (nouvel essai dans deux minutes au plus tôt)\n";
    }
    context.out.flush();
    return pending.empty() && !stopped ? kSuccess : kFailure;
}

} // namespace orvaneh
