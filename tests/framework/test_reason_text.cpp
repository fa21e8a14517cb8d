// The words for every failure reason: the window's Japanese text and the
// command-line tool's English line.

#include "platform/Reason.h"
#include "framework/ReasonText.h"
#include "platform/WaveAudio.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {
const std::string kPath = "/data/take-1.wav";

std::vector<EReason> AllCodes()
{
    std::vector<EReason> codes;
    for (int c = static_cast<int>(EReason::None) + 1; c < static_cast<int>(EReason::Count); ++c)
        codes.push_back(static_cast<EReason>(c));
    return codes;
}

std::vector<EReasonContext> AllContexts()
{
    std::vector<EReasonContext> contexts;
    for (int c = 0; c < static_cast<int>(EReasonContext::Count); ++c)
        contexts.push_back(static_cast<EReasonContext>(c));
    return contexts;
}

bool IsJapanese(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x3040 && u <= 0x30FF) ||  // hiragana and katakana
           (u >= 0xFF61 && u <= 0xFF9F) ||  // half-width katakana
           (u >= 0x4E00 && u <= 0x9FFF);    // kanji
}

// Why `text` is not a message in the program's register, or "" when it is:
// Japanese on every line, each line a polite sentence ending in "。", and no
// English words (the file's name and the ".wav" of file names aside).
std::string RegisterProblem(QString text)
{
    if (text.isEmpty())
        return "empty";
    text.replace(QString::fromStdString(kPath), QStringLiteral("□"));
    text.replace(QStringLiteral(".wav"), QStringLiteral("□"));
    static const QRegularExpression english(QStringLiteral("[a-z]{2,}"));
    if (const auto m = english.match(text); m.hasMatch())
        return "English word '" + m.captured().toStdString() + "'";
    static const QStringList polite = {QStringLiteral("ます"), QStringLiteral("です"), QStringLiteral("ません"),
                                       QStringLiteral("ください"), QStringLiteral("でした"),
                                       QStringLiteral("ました")};
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (std::none_of(line.begin(), line.end(), IsJapanese))
            return "a line without Japanese: " + line.toStdString();
        if (!line.endsWith(QStringLiteral("。")))
            return "a line that is not a sentence: " + line.toStdString();
        if (std::none_of(polite.begin(), polite.end(), [&](const QString& p) { return line.contains(p); }))
            return "a line not in the polite form: " + line.toStdString();
    }
    return {};
}

// Reasons of every code, with the details the codes carry in all the
// shapes that change the wording: no errno or a common one or one without
// a hint, and numbers that are device results, sizes or the largest 32-bit
// count.
std::vector<SReason> Variants(EReason code)
{
    std::vector<SReason> out;
    for (int err : {0, ENOSPC, EACCES, ENOENT, ENOTDIR, EISDIR, EFBIG, EROFS, EIO, 123456})
        for (std::uint64_t number : {std::uint64_t{0}, std::uint64_t{MMSYSERR_BADDEVICEID},
                                     std::uint64_t{MMSYSERR_NODRIVER}, std::uint64_t{WAVERR_BADFORMAT},
                                     std::uint64_t{24}, std::uint64_t{UINT32_MAX}}) {
            // A second number that is a size, or a format tag that changes
            // the wording (float, A-law, mu-law).
            for (std::uint64_t number2 : {8, 3, 6, 7}) {
                SReason r(code);
                r.path = kPath;
                r.err = err;
                r.number = number;
                r.number2 = number2;
                out.push_back(r);
            }
        }
    return out;
}
} // namespace

TEST(ReasonText, EveryReasonIsAPoliteJapaneseMessage)
{
    for (EReason code : AllCodes()) {
        for (EReasonContext context : AllContexts()) {
            for (const SReason& plain : Variants(code)) {
                const SReason r = InContext(plain, context);
                const QString text = ReasonText(r);
                const std::string problem = RegisterProblem(text);
                ASSERT_EQ(problem, "") << "code " << static_cast<int>(code) << ", context "
                                       << static_cast<int>(context) << ", errno " << r.err << ", number "
                                       << r.number << ":\n"
                                       << text.toStdString();
                // A context puts its own sentence on a line before the cause.
                if (context != EReasonContext::None) {
                    const QString cause = ReasonText(plain);
                    ASSERT_TRUE(text.endsWith(QLatin1Char('\n') + cause)) << text.toStdString();
                }
            }
        }
    }
}

TEST(ReasonText, NoReasonSaysNothing)
{
    EXPECT_EQ(ReasonText(SReason()), QString());
    EXPECT_EQ(ReasonText(InContext(SReason(), EReasonContext::UndoCopy)), QString());
    EXPECT_EQ(ReasonTextEnglish(SReason()), "");
}

TEST(ReasonText, TheDetailsAreNamed)
{
    SReason chunk = NumberReason(EReason::FormatChunkShort, 14);
    chunk.path = "/x/%2 %1.wav"; // placeholders in a name stay as they are
    SReason truncated = NumberReason(EReason::DataTruncated, 1000, 8);
    truncated.path = kPath;

    struct Case {
        const char* name;
        SReason reason;
        const char* text;
    };
    const Case cases[] = {
        {"12-bit file", [] {
             SReason r = NumberReason(EReason::SampleSize, 12);
             r.path = kPath;
             return r;
         }(),
         "/data/take-1.wav は 1 ｻﾝﾌﾟﾙ 12 ﾋﾞｯﾄの音声のため開けません。8、16、24、32 ﾋﾞｯﾄのいずれかの WAV ﾌｧｲﾙを開いてください。"},
        {"MP3 inside a WAV file", [] {
             SReason r = NumberReason(EReason::NotPcm, 85);
             r.path = kPath;
             return r;
         }(),
         "/data/take-1.wav は PCM 形式の音声ではありません (ﾌｫｰﾏｯﾄ ﾀｸﾞ 85)。"},
        {"16-bit float", [] {
             SReason r = NumberReason(EReason::EncodingSampleSize, 16, 3);
             r.path = kPath;
             return r;
         }(),
         "/data/take-1.wav は 1 ｻﾝﾌﾟﾙ 16 ﾋﾞｯﾄの音声のため開けません。浮動小数点の音声は 32 ﾋﾞｯﾄか 64 ﾋﾞｯﾄのものだけを開けます。"},
        {"block align", [] {
             SReason r = NumberReason(EReason::BlockAlignWrong, 4, 3);
             r.path = kPath;
             return r;
         }(),
         "/data/take-1.wav のﾌﾞﾛｯｸ ｻｲｽﾞ (4 ﾊﾞｲﾄ) が 1 ﾌﾚｰﾑの大きさ (3 ﾊﾞｲﾄ) と合っていません。"},
        {"placeholders in the name", chunk, "/x/%2 %1.wav のﾌｫｰﾏｯﾄ ﾁｬﾝｸが短すぎます (14 ﾊﾞｲﾄ)。"},
        {"two numbers", truncated,
         "/data/take-1.wav の音声ﾃﾞｰﾀは 1000 ﾊﾞｲﾄのはずですが、ﾌｧｲﾙには 8 ﾊﾞｲﾄしかありません。"},
        {"disk full", FileReason(EReason::FileWrite, kPath, ENOSPC),
         "ﾌｧｲﾙ /data/take-1.wav に書き込めませんでした。ﾃﾞｨｽｸの空き容量を確認してください。"},
        {"write with no errno", FileReason(EReason::FileWrite, kPath), "ﾌｧｲﾙ /data/take-1.wav に書き込めませんでした。"},
        {"errno without a hint", FileReason(EReason::FileOpen, kPath, EXDEV),
         "ﾌｧｲﾙ /data/take-1.wav を開けませんでした。ｼｽﾃﾑのｴﾗｰ番号は 18 です。"},
        {"save under another name", FileReason(EReason::SaveNotWav, "/data/a.mp3"),
         "/data/a.mp3 には保存できません。WAV ﾌｧｲﾙの名前は .wav で終わる必要があります。"},
        {"no sound system", NumberReason(EReason::InputOpen, MMSYSERR_NODRIVER),
         "録音ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ 6)。ｻｳﾝﾄﾞ ｼｽﾃﾑが見つかりません。"},
        {"device result without a hint", NumberReason(EReason::InputOpen, MMSYSERR_ERROR),
         "録音ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ 1)。"},
        {"no sound system to play on", NumberReason(EReason::OutputOpen, MMSYSERR_NODRIVER),
         "再生ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ 6)。ｻｳﾝﾄﾞ ｼｽﾃﾑが見つかりません。"},
        {"a format the output refuses", NumberReason(EReason::OutputOpen, WAVERR_BADFORMAT),
         "再生ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ 32)。出力ﾃﾞﾊﾞｲｽはこの形式の音声を再生できません。"},
        {"undo copy", InContext(FileReason(EReason::FileReplace, "/c/undo$$$.wav", EISDIR), EReasonContext::UndoCopy),
         "元に戻すためのｺﾋﾟｰを保存できなかったため、操作を取りやめました。\n"
         "ﾌｧｲﾙ /c/undo$$$.wav を新しい内容で置き換えられませんでした。同じ名前のﾌｫﾙﾀﾞがあります。"},
        {"undo", InContext(FileReason(EReason::FileOpen, "/c/undo$$$.wav", ENOENT), EReasonContext::Undo),
         "元に戻すことができませんでした。\n"
         "ﾌｧｲﾙ /c/undo$$$.wav を開けませんでした。ﾌｧｲﾙまたはﾌｫﾙﾀﾞが見つかりません。"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReasonText(c.reason).toStdString(), c.text) << c.name;
}

// The command-line tool speaks English only: every reason has its own line,
// with no Japanese in it.
TEST(ReasonTextEnglish, EveryReasonHasAnEnglishLine)
{
    for (EReason code : AllCodes()) {
        for (EReasonContext context : AllContexts()) {
            SReason r(code);
            r.path = kPath;
            r.err = ENOSPC;
            r.number = 24;
            r = InContext(r, context);
            const std::string text = ReasonTextEnglish(r);
            ASSERT_FALSE(text.empty()) << static_cast<int>(code);
            EXPECT_EQ(text.rfind("unknown failure", 0), std::string::npos) << text;
            EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char ch) { return ch >= 0x20 && ch < 0x7F; }))
                << text;
        }
    }
    EXPECT_EQ(ReasonTextEnglish(InContext(FileReason(EReason::FileWrite, kPath, ENOSPC), EReasonContext::UndoCopy)),
              "the undo copy could not be written: cannot write /data/take-1.wav: No space left on device");
}
