#include "Platform/secrets/LibsecretStore.h"

#include "Platform/log/Log.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <libsecret/secret.h>
#include <mutex>
#include <optional>
#include <thread>

namespace orvaneh {

namespace {

const SecretSchema* passwordSchema() {
    static const SecretSchema schema = {"org.orvaneh.Password",
                                        SECRET_SCHEMA_NONE,
                                        {{"application", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"profile", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"item", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return &schema;
}

// Takes the error's message and frees it.
std::string takeMessage(GError* error) {
    if (error == nullptr) {
        return "raison inconnue";
    }
    std::string message = error->message != nullptr ? error->message : "raison inconnue";
    g_error_free(error);
    return message;
}

// Where GLib would find the session bus without starting one ("autolaunch" runs dbus-launch).
bool sessionBusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    return runtime != nullptr && *runtime != '\0' &&
           std::filesystem::exists(std::filesystem::path(runtime) / "bus", error);
}

// Whether a Secret Service answers, without starting one. `why` says why not.
bool probe(GCancellable* cancellable, int timeoutMs, std::string& why) {
    if (!sessionBusNamed()) {
        why = "pas de bus de session";
        return false;
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error);
    if (bus == nullptr) {
        why = "bus de session injoignable : " + takeMessage(error);
        return false;
    }
    // GLib's default ends the process when the bus goes away; the store is only a convenience.
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        timeoutMs, cancellable, &error);
    g_object_unref(bus);
    if (reply == nullptr) {
        why = "bus de session sans réponse : " + takeMessage(error);
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    if (!owned) {
        why = "aucun trousseau (service de secrets) ne tourne sur le bus de session";
        return false;
    }
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &error);
    if (service == nullptr) {
        why = "le trousseau ne répond pas : " + takeMessage(error);
        return false;
    }
    g_object_unref(service);
    return true;
}

} // namespace

struct LibsecretStore::State {
    explicit State(std::chrono::milliseconds limit) : bound(limit) {}

    const std::chrono::milliseconds bound;
    std::mutex calls; // one call at a time
    // -1 not known yet, 0 unavailable, 1 available.
    std::atomic<int> availability{-1};

    void giveUp(const std::string& why) {
        if (availability.exchange(0) != 0) {
            Log::write("Trousseau du bureau indisponible (" + why +
                       ") : les mots de passe restent dans le profil pendant cette session.");
        }
    }

    // Runs `job` on a thread of its own and waits for it at most `bound`. Nothing when it did
    // not end in time: it is cancelled and left to end by itself, and the store given up.
    template <typename Result> std::optional<Result> bounded(std::function<Result(GCancellable*)> job) {
        struct Outcome {
            std::mutex mutex;
            std::condition_variable done;
            std::optional<Result> value;
        };
        auto outcome = std::make_shared<Outcome>();
        GCancellable* cancellable = g_cancellable_new();
        g_object_ref(cancellable); // one reference for the thread, one for this caller
        std::thread([outcome, cancellable, job = std::move(job)] {
            Result value = job(cancellable);
            g_object_unref(cancellable);
            std::lock_guard lock(outcome->mutex);
            outcome->value = std::move(value);
            outcome->done.notify_all();
        }).detach();
        std::unique_lock lock(outcome->mutex);
        const bool ended = outcome->done.wait_for(lock, bound, [&] { return outcome->value.has_value(); });
        std::optional<Result> value = ended ? std::move(outcome->value) : std::nullopt;
        lock.unlock();
        if (!ended) {
            g_cancellable_cancel(cancellable);
            giveUp("pas de réponse en " + std::to_string(bound.count()) + " ms");
        }
        g_object_unref(cancellable);
        return value;
    }

    // Caller holds `calls`.
    bool ready() {
        if (availability.load() >= 0) {
            return availability.load() == 1;
        }
        const int timeoutMs = static_cast<int>(bound.count());
        struct Probe {
            bool answered = false;
            std::string why;
        };
        auto result = bounded<Probe>([timeoutMs](GCancellable* cancellable) {
            Probe probed;
            probed.answered = probe(cancellable, timeoutMs, probed.why);
            return probed;
        });
        if (!result) {
            return false; // given up already
        }
        if (!result->answered) {
            giveUp(result->why);
            return false;
        }
        int unknown = -1;
        if (availability.compare_exchange_strong(unknown, 1)) {
            Log::write("Trousseau du bureau disponible : les mots de passe y sont gardés.");
        }
        return availability.load() == 1;
    }
};

LibsecretStore::LibsecretStore(std::chrono::milliseconds bound) : state_(std::make_shared<State>(bound)) {}

LibsecretStore::~LibsecretStore() = default;

bool LibsecretStore::available() {
    std::lock_guard lock(state_->calls);
    return state_->ready();
}

SecretStore::Lookup LibsecretStore::lookup(const Key& key) {
    std::lock_guard lock(state_->calls);
    if (!state_->ready()) {
        return {};
    }
    struct Answer {
        Lookup lookup;
        std::string error;
    };
    auto answer = state_->bounded<Answer>([key](GCancellable* cancellable) {
        Answer result;
        GError* error = nullptr;
        gchar* secret = secret_password_lookup_sync(passwordSchema(), cancellable, &error, "application",
                                                    key.application.c_str(), "profile", key.profile.c_str(),
                                                    "item", key.item.c_str(), nullptr);
        if (secret != nullptr) {
            result.lookup = {Status::Found, secret};
            secret_password_free(secret);
        } else if (error != nullptr) {
            result.error = takeMessage(error);
        } else {
            result.lookup.status = Status::Absent;
        }
        return result;
    });
    if (!answer) {
        return {};
    }
    if (!answer->error.empty()) {
        Log::write("Trousseau du bureau : lecture de « " + key.item + " » impossible : " + answer->error);
    }
    return answer->lookup;
}

bool LibsecretStore::store(const Key& key, const std::string& label, const std::string& secret) {
    std::lock_guard lock(state_->calls);
    if (!state_->ready()) {
        return false;
    }
    auto answer = state_->bounded<std::string>([key, label, secret](GCancellable* cancellable) {
        GError* error = nullptr;
        const gboolean stored = secret_password_store_sync(
            passwordSchema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), cancellable, &error,
            "application", key.application.c_str(), "profile", key.profile.c_str(), "item", key.item.c_str(),
            nullptr);
        return stored ? std::string() : takeMessage(error);
    });
    if (answer && !answer->empty()) {
        Log::write("Trousseau du bureau : « " + key.item + " » non enregistré : " + *answer);
    }
    return answer && answer->empty();
}

bool LibsecretStore::clear(const Key& key) {
    std::lock_guard lock(state_->calls);
    if (!state_->ready()) {
        return false;
    }
    auto answer = state_->bounded<std::string>([key](GCancellable* cancellable) {
        GError* error = nullptr;
        secret_password_clear_sync(passwordSchema(), cancellable, &error, "application",
                                   key.application.c_str(), "profile", key.profile.c_str(), "item",
                                   key.item.c_str(), nullptr);
        return error == nullptr ? std::string() : takeMessage(error);
    });
    if (answer && !answer->empty()) {
        Log::write("Trousseau du bureau : « " + key.item + " » non effacé : " + *answer);
    }
    return answer && answer->empty();
}

} // namespace orvaneh
