// The check beside the compression. The encoder's pieces go through a short queue to a decoder
// in a thread of its own, which compares them with its own read of the package, so that the
// check ends shortly after the encoder does instead of starting then. The queue is bounded so
// that a finished block, which the threaded encoder hands out at once, waits in the encoder's
// buffers and not in a copy of ours; the compressor pauses while the decoder catches up.
#include "xz.h"
#include "lzma_error.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr size_t kQueuedPieces = 4;

}  // namespace

struct pack_Verifier {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<pack_Bytes> queue;  // the front is the piece the decoder works on
    bool handedFront = false;  // the decoder holds the front, to drop on its next pull
    bool ended = false;  // nothing more comes
    bool done = false;  // the decoder has finished, with result
    std::string result;
    uint64_t crc = 0;  // of every byte fed, for the read back
    std::thread decoder;
};

namespace {

size_t pack_pullQueued(pack_Verifier* v, const uint8_t** data)
{
    std::unique_lock<std::mutex> hold(v->lock);
    if (v->handedFront) {
        v->queue.pop_front();
        v->handedFront = false;
        v->changed.notify_all();
    }
    v->changed.wait(hold, [v] { return !v->queue.empty() || v->ended; });
    if (v->queue.empty()) {
        return 0;
    }
    v->handedFront = true;
    *data = v->queue.front().data();
    return v->queue.front().size();
}

void pack_runDecoder(pack_Verifier* v, const std::string& path)
{
    std::string result = pack_verifyAgainstFile(
        [v](const uint8_t** data) { return pack_pullQueued(v, data); }, path.c_str());
    std::lock_guard<std::mutex> hold(v->lock);
    v->result = result;
    v->done = true;
    v->changed.notify_all();
}

}  // namespace

pack_Verifier* pack_startVerifier(const char* path)
{
    pack_Verifier* v = new pack_Verifier;
    v->decoder = std::thread(pack_runDecoder, v, std::string(path));
    return v;
}

std::string pack_verifierFeed(pack_Verifier* v, const uint8_t* data, size_t size)
{
    v->crc = lzma_crc64(data, size, v->crc);
    std::unique_lock<std::mutex> hold(v->lock);
    v->changed.wait(hold, [v] { return v->queue.size() < kQueuedPieces || v->done; });
    if (v->done) {
        // The decoder stops early only on a fault, or when the stream has ended before the
        // pieces did, which is one too.
        return v->result.empty() ? "the packed payload does not decode to the package" : v->result;
    }
    v->queue.emplace_back(data, data + size);
    v->changed.notify_all();
    return "";
}

bool pack_verifierHasRoom(pack_Verifier* v)
{
    std::lock_guard<std::mutex> hold(v->lock);
    return v->queue.size() < kQueuedPieces || v->done;
}

std::string pack_endVerifier(pack_Verifier* v, uint64_t* crc)
{
    {
        std::lock_guard<std::mutex> hold(v->lock);
        v->ended = true;
        v->changed.notify_all();
    }
    v->decoder.join();
    std::string result = v->result;
    if (crc != nullptr) {
        *crc = v->crc;
    }
    delete v;
    return result;
}

uint64_t pack_crc64(const uint8_t* data, size_t size, uint64_t crc)
{
    return lzma_crc64(data, size, crc);
}
