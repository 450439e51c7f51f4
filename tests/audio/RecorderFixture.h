#pragma once

// A recording screen on a fresh profile and database, with the simulated microphone fed by WAV
// files built in code, and the helpers to read what it wrote.
#include "Classes/audio/AudioRecordControllerThree.h"
#include "Classes/core/DicteeRequest.h"
#include "Classes/core/OrvanehAppDelegate.h"
#include "Platform/media/SimulatedMediaBackend.h"
#include "Platform/notifications/NotificationCenter.h"
#include "Platform/runloop/RunLoop.h"
#include "audio/WaveTestFiles.h"
#include "support/TestDatabase.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace orvaneh::test {

constexpr std::size_t kRate = 16000;

// The base tracks hold positive samples, the takes negative ones, so that a misplaced sample
// shows.
inline Samples signal(int sign, double seconds, std::size_t offset = 0) {
    Samples samples(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(sign * static_cast<int>(1 + (i + offset) % 30000));
    }
    return samples;
}

// The samples from `from` to `to` seconds.
inline Samples part(const Samples& samples, double from, double to) {
    const auto begin = std::min(samples.size(), static_cast<std::size_t>(from * kRate));
    const auto end = std::min(samples.size(), static_cast<std::size_t>(to * kRate));
    return Samples(samples.begin() + static_cast<std::ptrdiff_t>(begin),
                   samples.begin() + static_cast<std::ptrdiff_t>(end));
}

inline Samples operator+(Samples first, const Samples& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class RecorderTest : public ::testing::Test {
protected:
    TestProfile profile;
    std::filesystem::path database = createDatabase(profile);
    OrvanehAppDelegate application;
    TemporaryDirectory inputs;
    std::unique_ptr<AudioRecordControllerThree> screen;
    int finished = 0;
    Observation observation = NotificationCenter::defaultCenter().addObserver(
        AudioController::kRecordFinished, [this](const PostedNotification&) { ++finished; });

    std::string doc(const std::string& name) const { return (profile.documents() / name).string(); }
    bool exists(const std::string& name) const { return std::filesystem::exists(profile.documents() / name); }

    // What the microphone hears from the next take on.
    void hear(const Samples& samples) {
        const auto path = inputs.path() / ("input" + std::to_string(++inputs_) + ".wav");
        writeBytes(path, Wave{.samples = samples}.bytes());
        profile.media().setInput(SimulatedAudioInput::file(path.string()));
    }

    // Opens the screen as the dictation list does.
    void open(bool isNew, std::int64_t id = 0, ParamWorkflow parameters = {}) {
        application.setRecord(isNew);
        application.setIdDictee(id);
        if (!isNew) {
            parameters.getParamWorkflowDictee(id);
        }
        screen = std::make_unique<AudioRecordControllerThree>(application);
        screen->setParamWorkflow(parameters);
        screen->viewDidLoad();
        screen->viewWillAppear();
    }

    static void run(double seconds) { RunLoop::main().runFor(Seconds(seconds)); }

    // A take of `seconds` at the cursor, from stand-by or player; it ends in stand-by.
    void take(double seconds) {
        if (screen->etatLecteur() == AudioRecordControllerThree::kPlayer) {
            screen->recordAction();
        }
        screen->performPlayerAction();
        ASSERT_EQ(screen->etatLecteur(), AudioRecordControllerThree::kRecording);
        run(seconds);
        screen->performPlayerAction();
    }

    // A stored dictation with its tracks, as an earlier save left it.
    std::int64_t storeDictation(const std::string& title, const Samples& dictation,
                                const Samples& instruction = {}) {
        DicteeModel record;
        record.titre = title;
        record.masterJobId = "JOB-" + title;
        record.priorite = "Moyenne";
        record.dureeDictee = static_cast<std::int64_t>(dictation.size() / kRate);
        record.dureeInstruction = static_cast<std::int64_t>(instruction.size() / kRate);
        const auto id = DicteeRequest().insertDictee(record);
        writeBytes(doc(std::to_string(id) + ".wav"), Wave{.samples = dictation}.bytes());
        if (!instruction.empty()) {
            writeBytes(doc("I" + std::to_string(id) + ".wav"), Wave{.samples = instruction}.bytes());
        }
        return id;
    }

    // The audio of a WAV file of the documents directory, found by walking its chunks.
    Samples track(const std::string& name) const {
        const std::string bytes = readBytes(doc(name));
        for (std::size_t at = 12; at + 8 <= bytes.size();) {
            const std::uint32_t size = le32(bytes, at + 4);
            if (bytes.compare(at, 4, "data") == 0) {
                return samplesFrom(bytes.substr(0, at + 8 + size), at + 8);
            }
            at += 8 + size + (size & 1U);
        }
        ADD_FAILURE() << name << " has no audio";
        return {};
    }

    // The WAV files of the documents directory, by name.
    std::vector<std::string> wavFiles() const {
        std::vector<std::string> names;
        for (const auto& [name, contents] : filesIn(profile.documents())) {
            if (name.ends_with(".wav")) {
                names.push_back(name);
            }
        }
        return names;
    }
    std::string wavStartingWith(const std::string& prefix) const {
        for (const auto& name : wavFiles()) {
            if (name.starts_with(prefix)) {
                return name;
            }
        }
        return "";
    }

    std::size_t count(const std::string& kind) { return profile.ui().messages(kind).size(); }
    std::string lastBanner() {
        const auto banners = profile.ui().messages("banner");
        return banners.empty() ? "" : banners.back();
    }

private:
    int inputs_ = 0;
};

} // namespace orvaneh::test
