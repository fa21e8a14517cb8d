#include "app/CommandLine.h"

#include <QCommandLineParser>

#include <algorithm>
#include <array>

namespace {

// Qt's own options, consumed by QApplication (and the X11 platform): with a
// value in the next argument, or alone. Both "-name" and "--name" work.
constexpr std::array kQtValueOptions = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                        "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                        "style", "stylesheet", "geometry", "title", "icon",
                                        "display", "name", "visual"};
constexpr std::array kQtFlagOptions = {"reverse", "widgetcount", "testability", "nograb", "dograb"};
// Taken as "-name=value" only.
constexpr std::array kQtAssignOptions = {"qmljsdebugger", "style", "stylesheet"};

// The option name of `arg` ("-x" or "--x"), or empty when it is no option.
QString OptionName(const QString& arg)
{
    if (arg.size() < 2 || arg[0] != u'-' || arg == QLatin1String("--"))
        return QString();
    return arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
}

template <std::size_t N>
bool Contains(const std::array<const char*, N>& names, const QString& name)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == QLatin1String(n); });
}

// `args` without the program's name and without Qt's options and their
// values, up to "--"; what follows "--" is kept as it is.
QStringList WithoutQtOptions(const QStringList& args)
{
    QStringList own;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--")) {
            own += args.mid(i);
            break;
        }
        const QString name = OptionName(arg);
        const qsizetype eq = name.indexOf(u'=');
        if (eq > 0 && Contains(kQtAssignOptions, name.left(eq)))
            continue;
        if (Contains(kQtFlagOptions, name))
            continue;
        // Qt leaves a value option without its value where it is: here it
        // is then an unknown option.
        if (Contains(kQtValueOptions, name) && i + 1 < args.size()) {
            ++i;
            continue;
        }
        own += arg;
    }
    return own;
}

SCommandLine Error(const QString& why)
{
    SCommandLine result;
    result.action = SCommandLine::UsageError;
    result.error = why;
    return result;
}

} // namespace

SCommandLine ParseCommandLine(const QStringList& args)
{
    QCommandLineParser parser;
    // One dash or two, the same long names: "-p" and "-print", "--print".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption print(QStringList{QStringLiteral("p"), QStringLiteral("print")});
    parser.addOptions({help, version, print});
    parser.addPositionalArgument(QStringLiteral("file"), QString());

    // QCommandLineParser skips the first entry as the program's name.
    const QStringList own = WithoutQtOptions(args);
    if (!parser.parse(QStringList{QStringLiteral("ondrel")} + own)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            // The argument as typed, dashes and all.
            for (const QString& arg : own) {
                if (arg == QLatin1String("--"))
                    break;
                if (OptionName(arg).section(u'=', 0, 0) == unknown.constFirst())
                    return Error(QStringLiteral("ｵﾌﾟｼｮﾝ %1 はありません。").arg(arg));
            }
            return Error(QStringLiteral("ｵﾌﾟｼｮﾝ %1 はありません。").arg(unknown.constFirst()));
        }
        // A value after an option that takes none, such as "--print=x".
        return Error(QStringLiteral("ｵﾌﾟｼｮﾝに値は付けられません。"));
    }

    SCommandLine result;
    if (parser.isSet(help)) {
        result.action = SCommandLine::ShowHelp;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = SCommandLine::ShowVersion;
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return Error(QStringLiteral("開けるﾌｧｲﾙは 1 つだけです。"));
    if (parser.isSet(print) && files.isEmpty())
        return Error(QStringLiteral("-p (--print) には印刷するﾌｧｲﾙを指定してください。"));
    if (!files.isEmpty()) {
        result.info.m_strFileName = files.constFirst();
        result.info.m_nShellCommand = parser.isSet(print) ? CCommandLineInfo::FilePrint : CCommandLineInfo::FileOpen;
    }
    return result;
}

QString CommandLineUsage()
{
    return QStringLiteral(
        "使い方: ondrel [ﾌｧｲﾙ.wav]\n"
        "        ondrel -p ﾌｧｲﾙ.wav\n"
        "\n"
        "PCM WAV ﾌｧｲﾙを録音・再生・編集します。ﾌｧｲﾙを指定すると、そのﾌｧｲﾙを開きます。\n"
        "\n"
        "ｵﾌﾟｼｮﾝ:\n"
        "  -p, --print    ﾌｧｲﾙを通常使うﾌﾟﾘﾝﾀで印刷し、ｳｨﾝﾄﾞｳを開かずに終了します。\n"
        "                 ﾌﾟﾘﾝﾀがないときは、保存する PDF ﾌｧｲﾙの名前を尋ねます。\n"
        "  -h, --help     この説明を表示して終了します。\n"
        "  -v, --version  ﾊﾞｰｼﾞｮﾝを表示して終了します。\n"
        "  --             これより後はｵﾌﾟｼｮﾝではなくﾌｧｲﾙ名です。\n"
        "\n"
        "Qt の標準ｵﾌﾟｼｮﾝ (-platform、-display、-style など) も使えます。\n"
        "終了ｺｰﾄﾞ: 0 正常終了、1 ﾌｧｲﾙを開けないか印刷できなかった、2 ｺﾏﾝﾄﾞﾗｲﾝの誤り\n");
}

QString VersionText() { return QStringLiteral("Ondrel Version " ONDREL_VERSION); }
