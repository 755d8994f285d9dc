#include "zip/codec/InflateEngine.h"

#include "zip/base/ZipStrings.h"

std::string InflateFailureText(TInflateFailure failure) {
    switch (failure) {
        case TInflateFailure::Truncated:
            return ZipStrings::DataTruncated;
        case TInflateFailure::OutOfMemory:
            return ZipStrings::DecoderOutOfMemory;
        case TInflateFailure::Damaged:
            break;
    }
    // The engines find damage at different points and name it differently;
    // the verdict is the same for both.
    return ZipStrings::DataDamaged;
}

#ifdef ZUVO_HAVE_ISAL
std::unique_ptr<IInflateEngine> MakeInflateEngine() { return MakeIsalInflateEngine(); }
#else
std::unique_ptr<IInflateEngine> MakeInflateEngine() { return MakeZLibInflateEngine(); }
std::unique_ptr<IInflateEngine> MakeIsalInflateEngine(size_t /*keptBlockInput*/) { return nullptr; }
#endif
