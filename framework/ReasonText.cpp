#include "framework/ReasonText.h"

#include "platform/WaveAudio.h"
#include "res/Strings.h"
#include "res/resource.h"

#include <cerrno>

namespace {
QString Num(std::uint64_t n) { return QString::number(n); }

// What the user can do about the system's reason, as a sentence of its own;
// empty when there is no errno.
QString ErrnoHint(int err)
{
    switch (err) {
    case 0: return {};
    case ENOSPC:
    case EDQUOT: return QStringLiteral("ﾃﾞｨｽｸの空き容量を確認してください。");
    case EACCES:
    case EPERM: return QStringLiteral("ｱｸｾｽが許可されていません。");
    case EROFS: return QStringLiteral("読み取り専用の場所には書き込めません。");
    case ENOENT: return QStringLiteral("ﾌｧｲﾙまたはﾌｫﾙﾀﾞが見つかりません。");
    case ENOTDIR: return QStringLiteral("ﾊﾟｽの途中にﾌｫﾙﾀﾞではないものがあります。");
    case EISDIR: return QStringLiteral("同じ名前のﾌｫﾙﾀﾞがあります。");
    case EEXIST: return QStringLiteral("同じ名前のﾌｧｲﾙがすでにあります。");
    case EFBIG: return QStringLiteral("ﾌｧｲﾙが大きすぎます。");
    case ENAMETOOLONG: return QStringLiteral("ﾌｧｲﾙ名が長すぎます。");
    case ELOOP: return QStringLiteral("ｼﾝﾎﾞﾘｯｸ ﾘﾝｸの参照が多すぎます。");
    case EMFILE:
    case ENFILE: return QStringLiteral("開いているﾌｧｲﾙが多すぎます。");
    case ENOMEM: return QStringLiteral("ﾒﾓﾘが足りません。");
    case EIO: return QStringLiteral("ﾃﾞｨｽｸの読み書きでｴﾗｰが発生しました。");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("ﾌｧｲﾙが使用中です。");
    default: return QStringLiteral("ｼｽﾃﾑのｴﾗｰ番号は %1 です。").arg(err);
    }
}

// What the wave input's result means for the user; empty when it says
// nothing more than its number.
// What a device result tells the user, for the input (recording) or the
// output (playback).
QString DeviceHint(std::uint64_t result, bool input)
{
    const QString side = input ? QStringLiteral("入力") : QStringLiteral("出力");
    switch (result) {
    case MMSYSERR_BADDEVICEID:
        return QStringLiteral("選択した%1ﾃﾞﾊﾞｲｽが見つかりません。[PCMﾃﾞﾊﾞｲｽ] で%1ﾃﾞﾊﾞｲｽを選び直してください。").arg(side);
    case MMSYSERR_ALLOCATED: return QStringLiteral("%1ﾃﾞﾊﾞｲｽはほかのﾌﾟﾛｸﾞﾗﾑが使用中です。").arg(side);
    case MMSYSERR_NODRIVER: return QStringLiteral("ｻｳﾝﾄﾞ ｼｽﾃﾑが見つかりません。");
    case MMSYSERR_NOMEM: return QStringLiteral("ﾒﾓﾘが足りません。");
    case WAVERR_BADFORMAT:
        return input ? QStringLiteral("入力ﾃﾞﾊﾞｲｽはこの形式では録音できません。ﾁｬﾝﾈﾙ、ﾋﾞｯﾄ数、ｻﾝﾌﾟﾘﾝｸﾞ周波数を変えてください。")
                     : QStringLiteral("出力ﾃﾞﾊﾞｲｽはこの形式の音声を再生できません。");
    default: return {};
    }
}

QString CodeText(const SReason& r)
{
    const QString p = QString::fromStdString(r.path);
    switch (r.code) {
    case EReason::None: return {};
    case EReason::FileOpen: return QStringLiteral("ﾌｧｲﾙ %1 を開けませんでした。").arg(p) + ErrnoHint(r.err);
    case EReason::FileWrite: return QStringLiteral("ﾌｧｲﾙ %1 に書き込めませんでした。").arg(p) + ErrnoHint(r.err);
    case EReason::FileReplace:
        return QStringLiteral("ﾌｧｲﾙ %1 を新しい内容で置き換えられませんでした。").arg(p) + ErrnoHint(r.err);
    case EReason::CacheHomeUnknown:
        return QStringLiteral("作業用ﾌｫﾙﾀﾞの場所が分かりません。環境変数 HOME を設定してください。");
    case EReason::FolderCreate:
        return QStringLiteral("作業用ﾌｫﾙﾀﾞ %1 を作成できませんでした。").arg(p) + ErrnoHint(r.err);
    case EReason::FolderLock:
        return QStringLiteral("作業用ﾌｫﾙﾀﾞ %1 を使用できませんでした。").arg(p) + ErrnoHint(r.err);
    case EReason::NotWave: return QStringLiteral("%1 は WAV ﾌｧｲﾙではありません。").arg(p);
    case EReason::NoFormatChunk: return QStringLiteral("%1 には音声ﾃﾞｰﾀの前にﾌｫｰﾏｯﾄ ﾁｬﾝｸがありません。").arg(p);
    case EReason::FormatChunkShort:
        return QStringLiteral("%1 のﾌｫｰﾏｯﾄ ﾁｬﾝｸが短すぎます (%2 ﾊﾞｲﾄ)。").arg(p, Num(r.number));
    case EReason::FormatTruncated: return QStringLiteral("%1 はﾌｫｰﾏｯﾄ ﾁｬﾝｸの途中で終わっています。").arg(p);
    case EReason::ExtensibleNotPcm:
        return QStringLiteral("%1 は PCM 形式の音声ではありません (拡張ﾌｫｰﾏｯﾄの別の形式)。").arg(p);
    case EReason::NotPcm:
        return QStringLiteral("%1 は PCM 形式の音声ではありません (ﾌｫｰﾏｯﾄ ﾀｸﾞ %2)。").arg(p, Num(r.number));
    case EReason::ChannelCount:
        return QStringLiteral("%1 は %2 ﾁｬﾝﾈﾙの音声のため開けません。ﾓﾉﾗﾙかｽﾃﾚｵの WAV ﾌｧｲﾙを開いてください。")
            .arg(p, Num(r.number));
    case EReason::SampleSize:
        return QStringLiteral("%1 は 1 ｻﾝﾌﾟﾙ %2 ﾋﾞｯﾄの音声のため開けません。8、16、24、32 ﾋﾞｯﾄのいずれかの WAV ﾌｧｲﾙを開いてください。")
            .arg(p, Num(r.number));
    case EReason::EncodingSampleSize:
        return QStringLiteral("%1 は 1 ｻﾝﾌﾟﾙ %2 ﾋﾞｯﾄの音声のため開けません。").arg(p, Num(r.number)) +
               (r.number2 == 3   ? QStringLiteral("浮動小数点の音声は 32 ﾋﾞｯﾄか 64 ﾋﾞｯﾄのものだけを開けます。")
                : r.number2 == 6 || r.number2 == 7
                    ? QStringLiteral("この圧縮形式の音声は 8 ﾋﾞｯﾄのものだけを開けます。")
                                 : QString());
    case EReason::BlockAlignWrong:
        return QStringLiteral("%1 のﾌﾞﾛｯｸ ｻｲｽﾞ (%2 ﾊﾞｲﾄ) が 1 ﾌﾚｰﾑの大きさ (%3 ﾊﾞｲﾄ) と合っていません。")
            .arg(p, Num(r.number), Num(r.number2));
    case EReason::ConvertedTooLarge:
        return QStringLiteral("%1 の音声は 16 ﾋﾞｯﾄに変換すると %2 ﾊﾞｲﾄになり、長すぎるため開けません。")
            .arg(p, Num(r.number));
    case EReason::SampleRateZero: return QStringLiteral("%1 のｻﾝﾌﾟﾘﾝｸﾞ周波数が 0 Hz になっています。").arg(p);
    case EReason::FormatUnskippable: return QStringLiteral("%1 のﾌｫｰﾏｯﾄ ﾁｬﾝｸより先を読めませんでした。").arg(p);
    case EReason::NoDataChunk: return QStringLiteral("%1 にはﾌｫｰﾏｯﾄ ﾁｬﾝｸの後に音声ﾃﾞｰﾀがありません。").arg(p);
    case EReason::DataEmpty: return QStringLiteral("%1 の音声ﾃﾞｰﾀは空です。").arg(p);
    case EReason::DataTruncated:
        return QStringLiteral("%1 の音声ﾃﾞｰﾀは %2 ﾊﾞｲﾄのはずですが、ﾌｧｲﾙには %3 ﾊﾞｲﾄしかありません。")
            .arg(p, Num(r.number), Num(r.number2));
    case EReason::NoMemoryForAudio:
        return QStringLiteral("%1 の音声 (%2 ﾊﾞｲﾄ) を読み込むためのﾒﾓﾘが足りません。").arg(p, Num(r.number));
    case EReason::DataUnreadable: return QStringLiteral("%1 の音声ﾃﾞｰﾀを最後まで読めませんでした。").arg(p);
    case EReason::AudioTooLongForWav:
        return QStringLiteral("音声が長すぎるため、%1 に WAV ﾌｧｲﾙとして保存できません。").arg(p);
    case EReason::OpenNotWav:
        return QStringLiteral("%1 は開けません。開けるのは名前が .wav で終わるﾌｧｲﾙだけです。").arg(p);
    case EReason::SaveNotWav: return AfxFormatString(IDS_SAVE_NOT_WAV, p);
    case EReason::RecordingTooLong:
        return QStringLiteral("%1 秒の録音はこの形式では WAV ﾌｧｲﾙに収まりません。録音時間を短くしてください。")
            .arg(Num(r.number));
    case EReason::RecordingNoMemory:
        return QStringLiteral("%1 秒の録音に必要なﾒﾓﾘが足りません。録音時間を短くしてください。").arg(Num(r.number));
    case EReason::InputOpen:
        return QStringLiteral("録音ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ %1)。").arg(Num(r.number)) + DeviceHint(r.number, true);
    case EReason::RecordingStart: return QStringLiteral("録音を開始できませんでした (ｴﾗｰ %1)。").arg(Num(r.number));
    case EReason::OutputOpen:
        return QStringLiteral("再生ﾃﾞﾊﾞｲｽを開けませんでした (ｴﾗｰ %1)。").arg(Num(r.number)) + DeviceHint(r.number, false);
    case EReason::PlaybackStart: return QStringLiteral("再生を開始できませんでした。");
    case EReason::NoAudio: return QStringLiteral("変更する音声がありません。");
    case EReason::EffectSourceUnreadable:
        return QStringLiteral("効果をかけるための音声のｺﾋﾟｰを読めませんでした (ｺｰﾄﾞ %1)。").arg(Num(r.number));
    case EReason::Count: break;
    }
    return QStringLiteral("処理に失敗しました (ｺｰﾄﾞ %1)。").arg(static_cast<int>(r.code));
}
} // namespace

QString ReasonText(const SReason& reason)
{
    const QString text = CodeText(reason);
    if (text.isEmpty())
        return text;
    switch (reason.context) {
    case EReasonContext::None: break;
    case EReasonContext::UndoCopy:
        return QStringLiteral("元に戻すためのｺﾋﾟｰを保存できなかったため、操作を取りやめました。\n") + text;
    case EReasonContext::Undo: return QStringLiteral("元に戻すことができませんでした。\n") + text;
    case EReasonContext::Count: break;
    }
    return text;
}
