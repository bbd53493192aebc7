// Decoding the .xz payload into an open file: the compressed bytes are read in place, slice by
// slice, and every decoded piece passes through one buffer.
#include "package.h"
#include "report.h"

#include <lzma.h>
#include <stdint.h>

static constexpr DWORD SLICE_SIZE = 8192;
// Threads hand over whole decoded blocks, which this thread copies out and writes a piece at a
// time while the next block waits for their memory: large pieces keep those calls few.
static constexpr DWORD PIECE_SIZE = 1 << 20;
// Off the stack; one decoding runs at a time in a process.
static uint8_t g_piece[PIECE_SIZE];

// Writes the whole piece: a write may succeed having taken only part of it (a file system that
// fills up does that once before it fails), so the rest is written again until all of it is
// out or a write fails.
DWORD setup_writeAll(HANDLE file, const void* data, DWORD size)
{
    auto piece = static_cast<const uint8_t*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, piece, size, &written, nullptr)) {
            DWORD error = GetLastError();
            // A failure without a code must still stop the decoding, or the piece is lost.
            if (error == ERROR_SUCCESS) {
                error = ERROR_WRITE_FAULT;
            }
            SETUP_RECORD(error);
            return error;
        }
        // A write that takes nothing would repeat for ever.
        if (written == 0 || written > size) {
            SETUP_RECORD(ERROR_WRITE_FAULT);
            return ERROR_WRITE_FAULT;
        }
        piece += written;
        size -= written;
    }
    return ERROR_SUCCESS;
}

static DWORD startDecoder(lzma_stream* stream, uint32_t threads, uint64_t threadingLimit)
{
    // The threaded decoder alone: for one thread, or a payload without block sizes, it decodes
    // in place as the single-threaded one does, and the stub carries one decoder, not two.
    lzma_mt options = {};
    options.threads = threads;
    // liblzma takes a limit of 0 as 1 byte: no block is small enough, so no thread starts.
    options.memlimit_threading = threadingLimit;
    options.memlimit_stop = UINT64_MAX;
    // No timeout: a call that leaves room in the output has taken all its input, which is
    // what moving on to the next slice relies on.
    options.timeout = 0;
    lzma_ret ret = lzma_stream_decoder_mt(stream, &options);
    if (ret == LZMA_OK) {
        return ERROR_SUCCESS;
    }
    DWORD code = ret == LZMA_MEM_ERROR ? ERROR_NOT_ENOUGH_MEMORY
        : ret == LZMA_OPTIONS_ERROR    ? ERROR_INVALID_PARAMETER
                                       : ERROR_OPEN_FAILED;
    SETUP_RECORD(code);
    return code;
}

// Decodes the slice already set in the stream, writing each piece before the next call. A
// slice of LZMA_RUN is done once it is taken and a call leaves room in its piece: waiting for
// more output instead would hold back the input that the threads of later blocks need. The
// last slice (LZMA_FINISH) is decoded until the stream ends or liblzma gives up: a call that
// only hands input to a thread returns without output, and a cut stream ends in LZMA_BUF_ERROR.
// Sets *ended once the decoder reports the stream's end.
static DWORD drainSlice(lzma_stream* stream, lzma_action action, HANDLE file, setup_Digest* digest,
                        bool* ended)
{
    uint8_t* piece = g_piece;
    for (;;) {
        stream->next_out = piece;
        stream->avail_out = PIECE_SIZE;
        lzma_ret ret = lzma_code(stream, action);
        if (ret != LZMA_OK && ret != LZMA_STREAM_END) {
            SETUP_RECORD(ERROR_WRITE_FAULT);
            return ERROR_WRITE_FAULT;
        }
        *ended = ret == LZMA_STREAM_END;
        DWORD produced = static_cast<DWORD>(PIECE_SIZE - stream->avail_out);
        if (produced != 0) {
            if (digest != nullptr) {
                setup_digestUpdate(digest, piece, produced);
            }
            DWORD error = setup_writeAll(file, piece, produced);
            if (error != ERROR_SUCCESS) {
                return error;
            }
            // Per piece, not per slice: a slice of very compressible bytes decodes for long.
            setup_progressStep(static_cast<DWORD>(stream->total_in));
        }
        bool sliceTaken = action == LZMA_RUN && stream->avail_in == 0 && stream->avail_out != 0;
        if (*ended || sliceTaken) {
            return ERROR_SUCCESS;
        }
    }
}

static DWORD decodeSlices(lzma_stream* stream, const uint8_t* input, DWORD size, HANDLE file,
                          setup_Digest* digest)
{
    bool ended = false;
    DWORD remaining = size;
    while (remaining > 0 && !ended) {
        DWORD slice = remaining < SLICE_SIZE ? remaining : SLICE_SIZE;
        stream->next_in = input;
        stream->avail_in = slice;
        input += slice;
        remaining -= slice;
        DWORD error =
            drainSlice(stream, remaining == 0 ? LZMA_FINISH : LZMA_RUN, file, digest, &ended);
        if (error != ERROR_SUCCESS) {
            return error;
        }
    }
    // Bytes after the stream's end are passed over; input that runs out before the end, the
    // empty input included, is a cut stream and not a complete package.
    if (!ended) {
        SETUP_RECORD(ERROR_WRITE_FAULT);
        return ERROR_WRITE_FAULT;
    }
    return ERROR_SUCCESS;
}

DWORD setup_xzDecodeToFile(const void* input, DWORD size, HANDLE file, setup_Digest* digest,
                           bool progress, uint32_t threads, uint64_t threadingLimit)
{
    lzma_stream stream = LZMA_STREAM_INIT;
    DWORD error = startDecoder(&stream, threads, threadingLimit);
    if (error == ERROR_SUCCESS) {
        if (progress) {
            setup_progressBegin(size);
        }
        error = decodeSlices(&stream, static_cast<const uint8_t*>(input), size, file, digest);
        // Gone whatever the outcome, before an error dialog or the installer can show.
        setup_progressEnd();
    }
    lzma_end(&stream);
    return error;
}
