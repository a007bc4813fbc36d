// libFuzzer target for the RTF reader: any bytes must read without a crash,
// a hang or a sanitizer report. Build with clang:
//   CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DSETUP_FUZZ=ON
//   cmake --build build-fuzz --target fuzz_rtf
//   QT_QPA_PLATFORM=offscreen build-fuzz/tools/fuzz_rtf -max_total_time=60
#include "RtfReader.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QGuiApplication application(*argc, *argv); // fonts for the document
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument document;
    ReadRtf(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &document);
    return 0;
}
