#include "res/Strings.h"

#include "res/resource.h"

#include <unordered_map>

namespace {
const std::unordered_map<unsigned, const char*>& Table()
{
    static const std::unordered_map<unsigned, const char*> table = {
        // The program's own commands.
        {ID_PCM_RECORD, "録音を開始\n録音"},
        {ID_PCM_PLAY, "再生を開始\n再生"},
        {ID_PCM_STOP, "録音・再生を停止\n停止"},
        {ID_EFFECT_ECHO, "エコーをかける\nエコー"},
        {ID_EFFECT_REVERSE, "逆転する\n逆転"},
        {ID_EDIT_DELETE, "指定した範囲を削除\n削除"},
        // Standard commands.
        {ID_FILE_NEW, "新規にﾌｧｲﾙを作成\n新規ﾌｧｲﾙ"},
        {ID_FILE_OPEN, "既存のﾌｧｲﾙを開く\n開く"},
        {ID_FILE_SAVE, "開いているﾌｧｲﾙを上書きして保存\n上書き保存"},
        {ID_FILE_SAVE_AS, "開いているﾌｧｲﾙに名前を付けて保存\n名前を付けて保存"},
        {ID_FILE_PRINT_SETUP, "ﾌﾟﾘﾝﾀおよびﾌﾟﾘﾝﾀ接続の設定を変更\nﾌﾟﾘﾝﾀの設定"},
        {ID_FILE_PRINT, "開いているﾌｧｲﾙを印刷\n印刷"},
        {ID_FILE_PRINT_DIRECT, "現在の設定でﾌｧｲﾙを印刷\n印刷"},
        {ID_FILE_PRINT_PREVIEW, "印刷ｲﾒｰｼﾞを表示\n印刷ﾌﾟﾚﾋﾞｭｰ"},
        {ID_EDIT_COPY, "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟｰ"},
        {ID_EDIT_CUT, "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに移動\n切り取り"},
        {ID_EDIT_PASTE, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を挿入\n貼り付け"},
        {ID_EDIT_UNDO, "直前に行った動作を元に戻す\n元に戻す"},
        {ID_APP_ABOUT, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝ、著作権を表示\nﾊﾞｰｼﾞｮﾝ情報"},
        {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了"},
        {ID_HELP_FINDER, "ﾍﾙﾌﾟ ﾄﾋﾟｯｸの一覧を表示\nﾍﾙﾌﾟ ﾄﾋﾟｯｸ"},
        {ID_CONTEXT_HELP, "ﾎﾞﾀﾝ、ﾒﾆｭｰ、ｳｨﾝﾄﾞｳについてのﾍﾙﾌﾟを表示\nﾍﾙﾌﾟ"},
        {ID_HELP, "ﾍﾙﾌﾟを表示\nﾍﾙﾌﾟ"},
        {ID_DEFAULT_HELP, "ﾍﾙﾌﾟを表示\nﾍﾙﾌﾟ"},
        {ID_NEXT_PANE, "次のｳｨﾝﾄﾞｳ ﾍﾟｲﾝに切り替え\n次のﾍﾟｲﾝ"},
        {ID_PREV_PANE, "前のｳｨﾝﾄﾞｳ ﾍﾟｲﾝに切り替え\n前のﾍﾟｲﾝ"},
        {ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰの表示/非表示\nﾂｰﾙ ﾊﾞｰの表示/非表示"},
        {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示/非表示"},
        // Framework texts.
        {AFX_IDS_APP_TITLE, "Ondrel"},
        {AFX_IDS_IDLEMESSAGE, "ﾍﾙﾌﾟを表示するには [F1] を押してください。"},
        {AFX_IDS_OPENFILE, "開く"},
        {AFX_IDS_SAVEFILE, "名前を付けて保存"},
        {AFX_IDS_ALLFILTER, "すべてのﾌｧｲﾙ (*.*)"},
        {AFX_IDS_UNTITLED, "無題"},
        {AFX_IDS_PRINTONPORT, "%1 へ出力中"},
        {AFX_IDS_ONEPAGE, "1 ﾍﾟｰｼﾞ(&O)"},
        {AFX_IDS_TWOPAGE, "2 ﾍﾟｰｼﾞ(&T)"},
        {AFX_IDS_PRINTPAGENUM, "ﾍﾟｰｼﾞ %u"},
        {AFX_IDS_PREVIEWPAGEDESC, "ﾍﾟｰｼﾞ %u\nﾍﾟｰｼﾞ %u-%u\n"},
        {AFX_IDS_PRINTFILTER, "PDF ﾌｧｲﾙ (*.pdf)"},
        {AFX_IDS_PRINTCAPTION, "ﾌｧｲﾙへ出力"},
        {AFX_IDP_FAILED_TO_OPEN_DOC, "ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。"},
        {AFX_IDP_FAILED_TO_SAVE_DOC, "ﾄﾞｷｭﾒﾝﾄを保存することに失敗しました。"},
        {AFX_IDP_ASK_TO_SAVE, "%1 への変更を保存しますか?"},
        {AFX_IDP_FAILED_TO_START_PRINT, "印刷ｼﾞｮﾌﾞを開始できませんでした。"},
        {AFX_IDP_PARSE_INT, "整数を入力してください。"},
        {AFX_IDP_PARSE_REAL, "数字を入力してください。"},
        {AFX_IDP_PARSE_REAL_RANGE, "%1 から %2 までの数字を入力してください。"},
        // Status-bar panes and the recording panel.
        {ID_INDICATOR_CAPS, "CAP"},
        {ID_INDICATOR_NUM, "NUM"},
        {ID_INDICATOR_SCRL, "SCRL"},
        {ID_INDICATOR_SELTIME, "999.999mS"},
        {ID_INDICATOR_SELFREQ, "9999999Hz"},
        {IDS_ZERO_INVALID, "０は無効です。"},
        {IDS_REC_TIME_NOT_NUMBER, "録音時間を数値で入力してください。"},
        {IDS_DEVICE_BUSY, "録音中または再生中です。停止してからもう一度操作してください。"},
        {IDS_SAVE_WHILE_RECORDING, "録音中は保存できません。録音を停止してからもう一度操作してください。"},
        {IDS_EFFECT_BUSY, "効果の処理中です。終わってからもう一度操作してください。"},
        // Files converted to 16 bits on opening.
        {IDS_OPEN_CONVERTED, "%1 は %2のﾌｧｲﾙです。16 ﾋﾞｯﾄに変換して開きました。"},
        {IDS_SAVE_CONVERTED, "%1 は %2のﾌｧｲﾙを 16 ﾋﾞｯﾄに変換して開いたものです。上書き保存すると、元のﾌｧｲﾙは 16 ﾋﾞｯﾄの内容に置き換わります。\n"
                             "上書きしますか? [いいえ] を選ぶと名前を付けて保存します。"},
        {IDS_ENCODING_PCM24, "24 ﾋﾞｯﾄ"},
        {IDS_ENCODING_PCM32, "32 ﾋﾞｯﾄ"},
        {IDS_ENCODING_FLOAT32, "32 ﾋﾞｯﾄ浮動小数点"},
        {IDS_ENCODING_FLOAT64, "64 ﾋﾞｯﾄ浮動小数点"},
        {IDS_ENCODING_ALAW, "A-law 形式"},
        {IDS_ENCODING_MULAW, "μ-law 形式"},
        // Printing.
        {IDS_PRINT_TO_PDF, "PDF ﾌｧｲﾙ"},
        {IDS_PRINT_NO_ROOM, "ﾍﾟｰｼﾞに波形を印刷する余地がありません。ﾍﾟｰｼﾞﾚｱｳﾄの設定で余白か分解能を小さくしてください。"},
        {IDS_PRINT_PAGE_FAILED, "%1 ﾍﾟｰｼﾞ目を印刷できませんでした。印刷を中止しました。"},
        {IDS_PRINT_END_FAILED, "印刷ｼﾞｮﾌﾞを終了できませんでした。"},
        {IDS_PRINT_FILE_NOT_CREATED, "%1 を作成できませんでした。ﾌｫﾙﾀﾞがあり、書き込みできることを確認してください。"},
        {IDS_PRINT_FILE_NOT_SAVED, "%1 に書き込めませんでした。ﾃﾞｨｽｸの空き容量を確認してください。"},
        {IDS_PRINT_NOT_PDF, "%1 には印刷できません。PDF ﾌｧｲﾙの名前は .pdf で終わる必要があります。"},
        {IDS_SAVE_NOT_WAV, "%1 には保存できません。WAV ﾌｧｲﾙの名前は .wav で終わる必要があります。"},
    };
    return table;
}
} // namespace

QString AfxLoadString(unsigned nID)
{
    if (nID >= ID_FILE_MRU_FILE1 && nID <= ID_FILE_MRU_LAST)
        return QStringLiteral("このﾌｧｲﾙを開く");
    auto it = Table().find(nID);
    return it == Table().end() ? QString() : QString::fromUtf8(it->second);
}

QString CommandPrompt(unsigned nID) { return AfxLoadString(nID).section(QLatin1Char('\n'), 0, 0); }

QString CommandTip(unsigned nID) { return AfxLoadString(nID).section(QLatin1Char('\n'), 1, 1); }

QString AfxFormatString(unsigned nID, const QString& arg1, const QString& arg2)
{
    // One pass, so that a "%2" inside the first argument stays as it is.
    const QString format = AfxLoadString(nID);
    QString text;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('%') && i + 1 < format.size() &&
            (format[i + 1] == QLatin1Char('1') || format[i + 1] == QLatin1Char('2'))) {
            text += format[i + 1] == QLatin1Char('1') ? arg1 : arg2;
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}
