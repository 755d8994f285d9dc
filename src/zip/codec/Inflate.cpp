#include "zip/codec/Inflate.h"

#include <zlib.h>

#include "zip/codec/EntryStages.h"
#include "zip/codec/ZLibHelpers.h"

namespace {

[[noreturn]] void RaiseInflateError(int result, const z_stream& zs, bool cutShort) {
    throw EZCompressionError(ZLibFailureText(result, zs.msg, cutShort));
}

// zlib's stream state for one entry; inflateEnd runs also when an exception
// leaves the entry part-way, so no state leaks per failed entry.
class TRawInflater {
  public:
    TRawInflater() {
        // Format note: negative window bits select raw deflate with a 32 KB
        // window and no zlib header or trailer, as zip entries store it.
        if (const int r = inflateInit2(&stream_, -MAX_WBITS); r != Z_OK) {
            RaiseInflateError(r, stream_, false);
        }
    }
    ~TRawInflater() {
        if (!ended_) {
            inflateEnd(&stream_);
        }
    }
    TRawInflater(const TRawInflater&) = delete;
    TRawInflater& operator=(const TRawInflater&) = delete;

    z_stream& Stream() { return stream_; }

    void End() {
        ended_ = true;
        if (const int r = inflateEnd(&stream_); r != Z_OK) {
            RaiseInflateError(r, stream_, false);
        }
    }

  private:
    z_stream stream_{};
    bool ended_ = false;
};

// Points zlib at the input buffer's waiting bytes.
void UseInput(z_stream& zs, TEntryStages& stages) {
    zs.next_in = const_cast<Bytef*>(stages.InputData());
    zs.avail_in = stages.InputCount();
}

}  // namespace

void UnStore(TEntryStages& stages) {
    while (stages.Unread() > 0) {
        stages.ReadStoredBlock();
        stages.Flush();
    }
}

// Contract: inflates until the deflate stream's end, flushing each full
// output window and the last partial one. Input comes in whole blocks from
// the input stage; when it runs out the stream is finished, and a stream
// that is not complete then fails with zlib's buffer error.
void Inflate(TEntryStages& stages) {
    constexpr uInt kOut = TEntryStages::kBlockSize;
    stages.FillInput();
    TRawInflater inflater;
    z_stream& zs = inflater.Stream();
    UseInput(zs, stages);
    zs.next_out = stages.OutWindow();
    zs.avail_out = kOut;

    int flush = Z_NO_FLUSH;
    int r = Z_OK;
    while (r != Z_STREAM_END) {
        if (zs.avail_in == 0 && flush == Z_NO_FLUSH) {
            if (stages.FillInput() == 0) {
                flush = Z_FINISH;
            }
            UseInput(zs, stages);
        }
        const uInt outBefore = zs.avail_out;
        r = inflate(&zs, flush);
        // With Z_FINISH zlib reports a full output window as a buffer
        // error too; that one only means "flush and go on".
        const bool windowFull = r == Z_BUF_ERROR && zs.avail_out == 0 && outBefore > 0;
        if ((r < 0 && !windowFull) || r == Z_NEED_DICT) {
            // Asked to finish, zlib's buffer error with room left means the
            // input ended before the stream did.
            const bool cutShort = r == Z_BUF_ERROR && flush == Z_FINISH;
            RaiseInflateError(r, zs, cutShort);
        }
        if (zs.avail_out == 0 || r == Z_STREAM_END) {
            stages.SetOutCount(kOut - zs.avail_out);
            stages.Flush();
            zs.next_out = stages.OutWindow();
            zs.avail_out = kOut;
        }
    }
    inflater.End();
}
