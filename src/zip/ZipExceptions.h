#pragma once

#include "platform/Exception.h"

// Failures of the zip component. Every class carries one message text; the
// texts are the component's own and callers may show them as they stand.
class EZipException : public Exception {
  public:
    using Exception::Exception;
};

#define ZUVO_ZIP_EXCEPTION(Name, Base) \
    class Name : public Base {         \
      public:                          \
        using Base::Base;              \
    }

ZUVO_ZIP_EXCEPTION(EBadZipFile, EZipException);
ZUVO_ZIP_EXCEPTION(EFileNotAllThere, EZipException);
ZUVO_ZIP_EXCEPTION(EIncompleteZip, EZipException);
ZUVO_ZIP_EXCEPTION(ENotAZipFile, EZipException);
ZUVO_ZIP_EXCEPTION(EFatalUnzipError, EZipException);
ZUVO_ZIP_EXCEPTION(EUserCanceled, EZipException);
ZUVO_ZIP_EXCEPTION(EInvalidPassword, EZipException);
ZUVO_ZIP_EXCEPTION(EBiggerThanUncompressed, EZipException);
ZUVO_ZIP_EXCEPTION(ENotEnoughRoom, EZipException);
ZUVO_ZIP_EXCEPTION(ECantWriteUCF, EZipException);
ZUVO_ZIP_EXCEPTION(ECanceledUnzipToBuffer, EZipException);
ZUVO_ZIP_EXCEPTION(EConfigFileSaveError, EZipException);

// Decompression errors stand apart from the component's own family.
ZUVO_ZIP_EXCEPTION(EZLibError, Exception);
ZUVO_ZIP_EXCEPTION(EZCompressionError, EZLibError);
ZUVO_ZIP_EXCEPTION(EZDecompressionError, EZLibError);

// The list classes' index and duplicate errors.
ZUVO_ZIP_EXCEPTION(EListError, Exception);

#undef ZUVO_ZIP_EXCEPTION
