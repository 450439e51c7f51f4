#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvaneh {

// Names and removal of the files kept flat in the documents directory, and the editing of the
// recorder's WAV tracks (defined in Classes/audio/FileManagerHelperAudio.cpp).
class FileManagerHelper {
public:
    // The documents directory followed directly by `name` (which carries its leading "/").
    static std::string getPathForFileName(const std::string& name);

    // Removes a dictation's own files: "/N.wav", "/IN.wav" and "/N.XML" by exact name, then
    // its pictures ("N-….jpg"). The files of dictation 12 survive the removal of dictation 1.
    static void deleteFilesOfDictation(std::int64_t dictationId);
    // Removes every entry of the documents directory whose name contains the job name (the
    // files of one send job). The recordings and pictures of every dictation, the recorder's
    // working files and the database always survive, whatever the job name. An empty job
    // name removes nothing.
    static void deleteFilesOfJob(const std::string& jobName);
    // The same for several jobs, reading the directory once.
    static void deleteFilesOfJobs(const std::vector<std::string>& jobNames);
    // Renames the files named after dictation `dictationId` ("/N.wav", "/IN.wav", "/N.XML",
    // "N-k.jpg") to "orphelin-N-<date>.wav", "…-I.wav", "….XML", "…-k.jpg": a dictation about
    // to be stored under that number must not take them for its own, and they are never sent
    // nor removed by the job clean-up. Logs each move with `reason`; returns the new names.
    // With `withPictures` false the pictures stay.
    static std::vector<std::string>
    setAsideFilesOfIdentifier(std::int64_t dictationId, const std::string& reason, bool withPictures = true);
    // Removes the hidden temporaries (".<name>.tmp-…") of the documents directory that no live
    // process is writing: those of an edit, a zip or a file replacement cut short by a crash.
    static void removeLeftoverTemporaryFiles();

    // WAV tracks. Positions in seconds are turned into bytes with the file's byte rate and
    // kept on a whole sample frame, within the audio. An edit streams its output into a
    // hidden file beside `output` and renames it into place, so the output is either whole
    // or absent. An edit fails (false, logged, output absent, inputs untouched) when an input
    // cannot be read, is not a regular file, is not a WAV file with a usable "fmt " and "data"
    // chunk, holds compressed audio or a format whose fields contradict each other, when a
    // take's format differs from its track's, or when the output cannot be written. The output
    // keeps the bytes of its track before the audio when they form a clean header ("fmt " first,
    // chunk list whole); otherwise it gets RIFF, "fmt " and "data" of its own. A failed edit
    // gives `error` the errno of the write that failed (a full disk, a read-write error), 0
    // when an input was the cause.

    // The byte rate of the WAV file read through the descriptor; 0 for -1 or a file that is
    // not a usable WAV file. Logs it.
    static float getNbrBytePerSecFromHandledFile(int descriptor);
    // The byte rate of the WAV file at `path`, which the recorder halves into the sample rate
    // of its 16-bit mono takes; 0 when the file cannot be read.
    static float getSampleRateForDictationAtPath(const std::string& path);
    // The byte offset, counted from the "data" tag, of a time: 4 at 0 (just past the tag),
    // otherwise `seconds` × `bytesPerSecond` truncated and moved to the nearest multiple of 4
    // (remainder 2 goes up). The edits below do not use it: they keep whole sample frames.
    static std::int32_t getValueToSeekWithTime(float seconds, std::int32_t bytesPerSecond);
    // Writes `output`: the audio of `base` up to `seconds`, all the audio of `take`, then the
    // rest of `base`. A position past the end appends; a take's incomplete last frame is left out.
    static bool insertWaveFile(const std::string& take, const std::string& base, const std::string& output,
                               double seconds, int* error = nullptr);
    // Writes `output`: `source` without the audio between the two positions, in either order.
    // Cutting everything leaves a valid file holding no audio.
    static bool deleteChunkBetweenPos1(double firstSeconds, double secondSeconds, const std::string& source,
                                       const std::string& output, int* error = nullptr);
    // Sets the RIFF size (length − 8) and the data size (the bytes after the data chunk
    // header) of a WAV file just written through the descriptor, whose "data" tag is at
    // `dataOffset`. A file ending inside that chunk header is completed with a data size of
    // 0. False when the file cannot be updated or is too large for 32-bit sizes.
    static bool updateLengthOfNewFile(int descriptor, std::uint64_t dataOffset);
};

} // namespace orvaneh
