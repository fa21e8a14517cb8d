#include "res/Menus.h"

#include "res/ToolBarImages.h"
#include "res/resource.h"

const std::vector<SPopupMenu>& MainMenu()
{
    static const std::vector<SPopupMenu> menu = {
        {"ﾌｧｲﾙ(&F)",
         {{ID_FILE_NEW, "新規作成(&N)\tCtrl+N"},
          {ID_FILE_OPEN, "開く(&O)...\tCtrl+O"},
          {ID_FILE_SAVE, "上書き保存(&S)\tCtrl+S"},
          {ID_FILE_SAVE_AS, "名前を付けて保存(&A)..."},
          {0, nullptr},
          {ID_FILE_PRINT, "印刷(&P)...\tCtrl+P"},
          {ID_FILE_PRINT_PREVIEW, "印刷ﾌﾟﾚﾋﾞｭｰ(&V)"},
          {ID_PAGE_LAYOUT, "ﾍﾟｰｼﾞﾚｱｳﾄの設定(&U)"},
          {0, nullptr},
          {ID_FILE_MRU_FILE1, "最新のﾌｧｲﾙ"},
          {0, nullptr},
          {ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}}},
        {"編集(&E)",
         {{ID_EDIT_UNDO, "元に戻す(&U)\tCtrl+Z"}, {0, nullptr}, {ID_EDIT_DELETE, "削除(&D)\tDel"}}},
        {"表示(&V)", {{ID_VIEW_TOOLBAR, "ﾂｰﾙ ﾊﾞｰ(&T)"}, {ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"}}},
        {"効果(C)",
         {{ID_EFFECT_REVERSE, "逆転再生(&R)"},
          {0, nullptr},
          {ID_EFFECT_ECHO, "ｴｺｰ(&E)"},
          {ID_EFFECT_VIBRATO, "ﾋﾞﾌﾞﾗｰﾄ(&B)"},
          {ID_EFFECT_CHORUS, "ｺｰﾗｽ(&C)"},
          {ID_EFFECT_TREMOLO, "ﾄﾚﾓﾛ(&T)"},
          {0, nullptr},
          {ID_EFFECT_VOICE, "ﾎﾞｲｽﾁｪﾝｼﾞｬｰ（&V)"},
          {0, nullptr},
          {ID_EFFECT_SINE, "正弦波(&S)"}}},
        {"PCM(&P)",
         {{ID_PCM_DEVICE, "PCMﾃﾞﾊﾞｲｽ(&D)"},
          {0, nullptr},
          {ID_PCM_RECORD, "録音(&R)"},
          {ID_PCM_PLAY, "再生(&P)"},
          {ID_PCM_STOP, "停止(&S)"}}},
        {"ﾍﾙﾌﾟ(&H)",
         {{ID_HELP_FINDER, "ﾄﾋﾟｯｸの検索(&H)"}, {0, nullptr}, {ID_APP_ABOUT, "ﾊﾞｰｼﾞｮﾝ情報 (&A)..."}}},
    };
    return menu;
}

const std::vector<SAccelerator>& MainAccelerators()
{
    static const std::vector<SAccelerator> accel = {
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::Key_Delete), ID_EDIT_DELETE},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::Key_F1), ID_HELP},
        {QKeySequence(Qt::SHIFT | Qt::Key_F1), ID_CONTEXT_HELP},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
    };
    return accel;
}

const std::vector<SToolBarButton>& MainToolBar()
{
    static const std::vector<SToolBarButton> bar = {
        {ID_FILE_NEW, kImageNew},     {ID_FILE_OPEN, kImageOpen}, {ID_FILE_SAVE, kImageSave},
        {0, -1},                      {ID_PCM_RECORD, kImageRecord}, {ID_PCM_PLAY, kImagePlay},
        {ID_PCM_STOP, kImageStop},    {0, -1},                    {ID_FILE_PRINT, kImagePrint},
        {ID_CONTEXT_HELP, kImageContextHelp},
    };
    return bar;
}
