#include "zip/codec/Inflate.h"

#include "zip/codec/EntryStages.h"
#include "zip/codec/InflateEngine.h"

void UnStore(TEntryStages& stages) {
    while (stages.Unread() > 0) {
        stages.ReadStoredBlock();
        stages.Flush();
    }
}

// Contract: inflates until the deflate stream's end, flushing each full
// output window and the last partial one. Input comes in whole blocks from
// the input stage; when it runs out and the stream is not complete, the
// entry is truncated. The engine is the run's (ISA-L or zlib); both give the
// same bytes and the same verdicts.
void Inflate(TEntryStages& stages) {
    constexpr uint32_t kOut = TEntryStages::kBlockSize;
    IInflateEngine& engine = stages.InflateEngine();
    stages.FillInput();
    engine.Begin();
    TInflateBuffers buffers{stages.InputData(), stages.InputCount(), stages.OutWindow(), kOut};
    bool lastInput = false;
    bool ended = false;
    while (!ended) {
        if (buffers.availIn == 0 && !lastInput) {
            lastInput = stages.FillInput() == 0;
            buffers.nextIn = stages.InputData();
            buffers.availIn = stages.InputCount();
        }
        ended = engine.Step(buffers, lastInput);
        if (!ended && lastInput && buffers.availOut > 0) {
            // Every byte given and room left, yet no end: the data stops
            // inside the stream.
            throw EZCompressionError(InflateFailureText(TInflateFailure::Truncated));
        }
        if (buffers.availOut == 0 || ended) {
            stages.SetOutCount(kOut - buffers.availOut);
            stages.Flush();
            buffers.nextOut = stages.OutWindow();
            buffers.availOut = kOut;
        }
    }
}
