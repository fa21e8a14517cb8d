// ondrel-cli: works on WAV files through the editor's own document code.
// Exit codes: 0 done; 1 a file could not be read, loaded or written (one
// line on stderr, the output file not created or changed); 2 usage error or
// a refused parameter.

#include "doc/COndrelDoc.h"
#include "frame/CCurrentFormat.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr int kExitOk = 0;
constexpr int kExitFile = 1;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "usage: ondrel-cli info FILE\n"
    "       ondrel-cli copy IN OUT\n";

int Usage(const std::string& why)
{
    if (!why.empty())
        std::fprintf(stderr, "ondrel-cli: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "ondrel-cli: %s\n", why.c_str());
    return kExitFile;
}

int Info(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return Usage("info takes one FILE");
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(args[0]))
        return Fail(doc.GetError());
    const WAVEFORMATEX& f = *doc.m_wave.m_pFormat;
    std::printf("channels=%u bits=%u rate=%u bytes=%u frames=%u\n", unsigned{f.nChannels},
                unsigned{f.wBitsPerSample}, f.nSamplesPerSec, doc.GetDataSize(),
                doc.m_wave.GetFrameCount());
    return kExitOk;
}

int Copy(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return Usage("copy takes IN and OUT");
    CCurrentFormat frame;
    COndrelDoc doc(frame);
    if (!doc.LoadWaveFile(args[0]))
        return Fail(doc.GetError());
    if (!doc.SaveWaveFile(args[1]))
        return Fail(doc.GetError());
    return kExitOk;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("");
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "info")
        return Info(args);
    if (command == "copy")
        return Copy(args);
    if (command == "-h" || command == "--help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    return Usage("unknown command '" + command + "'");
}
