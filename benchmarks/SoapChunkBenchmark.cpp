// What the client spends on one chunk of an upload to the transcription service before the
// network: the chunk's Base64, and the whole SOAP envelope around it. An hour of dictation is
// 1,760 chunks, so each microsecond here is about 2 ms of the upload.
#include "Classes/soap/SoapValue.h"
#include "Classes/soap/WSVelmora.h"
#include "Classes/soap/WSVelmoraHelper.h"
#include "Classes/soap/WSVelmoraMessage.h"
#include "Classes/soap/WSVelmoraSoapBindingOperation.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace orvaneh;

// Sound-like bytes: every byte value occurs, as in a recording.
std::string chunkBytes() {
    std::string bytes(static_cast<std::size_t>(WSVelmoraHelper::kChunkSize), '\0');
    std::mt19937 generator(42);
    for (auto& byte : bytes) {
        byte = static_cast<char>(generator() & 0xff);
    }
    return bytes;
}

WSVelmoraMessage chunkRequest(std::string bytes) {
    auto request = *WSVelmoraMessage::request("FileUploadSendChunk");
    request.setText("fileID", "6f1c2a0e-3b4d-4e5f-8a9b-0c1d2e3f4a5b");
    request.set("ChunkID", SoapValue::number(917));
    request.set("Data", SoapValue::binary(std::move(bytes)));
    return request;
}

WSVelmoraMessage sessionHeader() {
    auto header = WSVelmoraMessage::securityHeader();
    header.setText("Username", "dicteur@cabinet");
    header.setText("Password", "secret");
    header.setText("AuthenticatedToken", "kX2vQ9tZr8mN3pL5wY7aB1cD4eF6gH0j");
    return header;
}

// The Base64 text of a chunk alone (the copy into the value included, as the sender makes it).
void BM_ChunkBase64(benchmark::State& state) {
    const std::string bytes = chunkBytes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SoapValue::binary(bytes).encoded());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_ChunkBase64)->Unit(benchmark::kMicrosecond);

// The envelope of an operation already made: XML document, Base64, serialisation.
void BM_ChunkEnvelope(benchmark::State& state) {
    auto operation = std::make_shared<WSVelmoraSoapBindingOperation>(
        WSVelmora::soapBinding("127.0.0.1:8443"), chunkRequest(chunkBytes()), sessionHeader(), nullptr);
    std::size_t length = 0;
    for (auto _ : state) {
        auto envelope = operation->envelope();
        length = envelope.size();
        benchmark::DoNotOptimize(envelope);
    }
    state.SetBytesProcessed(state.iterations() * WSVelmoraHelper::kChunkSize);
    state.counters["octets_enveloppe"] = static_cast<double>(length);
}
BENCHMARK(BM_ChunkEnvelope)->Unit(benchmark::kMicrosecond);

// Everything the sender does for a chunk short of the connection: the request message from the
// bytes read, the operation holding it, its envelope.
void BM_ChunkCallPreparation(benchmark::State& state) {
    const std::string bytes = chunkBytes();
    const auto header = sessionHeader();
    auto binding = WSVelmora::soapBinding("127.0.0.1:8443");
    for (auto _ : state) {
        auto operation =
            std::make_shared<WSVelmoraSoapBindingOperation>(binding, chunkRequest(bytes), header, nullptr);
        benchmark::DoNotOptimize(operation->envelope());
    }
    state.SetBytesProcessed(state.iterations() * WSVelmoraHelper::kChunkSize);
}
BENCHMARK(BM_ChunkCallPreparation)->Unit(benchmark::kMicrosecond);

} // namespace
