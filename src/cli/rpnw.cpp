#include "rpnw.h"

#include "commands.h"
#include "execution/execution_engine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <algorithm>
#include <functional>

namespace rpn::cli {
namespace {

struct Command {
  QString name;
  QString arguments;   // the positional arguments, as the usage line shows them
  QString description; // what the command does, one or more lines
  QList<QCommandLineOption> options;
};

QCommandLineOption formatOption(bool withCsv) {
  return {QStringLiteral("format"),
          withCsv ? QStringLiteral("出力形式: text (既定), json (入力ごとに1行のJSON), csv "
                                   "(トレースの表; --trace と共に)")
                  : QStringLiteral("出力形式: text (既定), json (入力ごとに1行のJSON)"),
          QStringLiteral("text|json|csv"), QStringLiteral("text")};
}
QCommandLineOption traceOption(const QString& what) {
  return {QStringLiteral("trace"), what};
}
QCommandLineOption helpOption() {
  return {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("この説明を表示します")};
}

// The execution screen's variables with their initial values: "A=1 B=2 ... X=".
QString initialVariables() {
  const execution::ExecutionView view;
  QStringList entries;
  for (std::size_t i = 0; i < view.lblName.size(); ++i)
    entries << view.lblName.at(i) + u'=' + view.txtName.at(i);
  return entries.join(u' ');
}

QList<Command> commands() {
  return {
      {QStringLiteral("convert"),
       QStringLiteral("EXPR..."),
       QStringLiteral(
           "中置記法の式を逆ポーランド記法に変換し, 1行に1つ出力します (変換画面と同じ規則)."),
       {formatOption(true),
        traceOption(QStringLiteral("トレースモードのメッセージボックスごとに1行: その文, ステップ"
                                   "メッセージ, 出力文, スタック"))}},
      {QStringLiteral("execute"),
       QStringLiteral("RPN..."),
       QStringLiteral("逆ポーランド記法の式を実行し, スタックに残った値と値が変わった変数を出力"
                      "します.\n--set のない変数は実行画面の初期値 (%1) のままです.")
           .arg(initialVariables()),
       {formatOption(true),
        {QStringLiteral("set"), QStringLiteral("変数の値 (繰り返し可)"),
         QStringLiteral("NAME=VALUE")},
        traceOption(QStringLiteral("トレースモードのメッセージボックスごとに1行: その文, ステップ"
                                   "メッセージ, 値レジスタ, スタック"))}},
      {QStringLiteral("translate"),
       QStringLiteral("RPN..."),
       QStringLiteral("逆ポーランド記法の式をオブジェクトコードに翻訳し, リストを出力します."),
       {formatOption(false),
        {{QStringLiteral("optimise"), QStringLiteral("optimize")},
         QStringLiteral("オブジェクト最適化を行います")},
        {QStringLiteral("listing"), QStringLiteral("オブジェクトのリストを出力します (既定)")},
        {QStringLiteral("source"),
         QStringLiteral("「擬似アセンブラ」で渡すアセンブラソースを出力します")}}},
      {QStringLiteral("assemble"),
       QStringLiteral("FILE..."),
       QStringLiteral("ソースファイルをアセンブルし, アセンブル結果を出力します.\nファイルは"
                      "アセンブラ画面と同じ規則で読みます (Shift_JIS, UTF-8; 改行は何でも). "
                      "- は標準入力です."),
       {formatOption(false)}},
      {QStringLiteral("run"),
       QStringLiteral("FILE..."),
       QStringLiteral("ソースファイルをアセンブルして最後まで実行し, 出力欄に出る行を出力します.\n"
                      "IN は --input の値を順に (ファイルごとに最初から), 尽きたら標準入力の"
                      "行を読みます."),
       {formatOption(true),
        {QStringLiteral("input"), QStringLiteral("IN 命令への入力 (繰り返し可)"),
         QStringLiteral("N")},
        {QStringLiteral("max-steps"),
         QStringLiteral("実行する命令数の上限 (既定 %1)").arg(kDefaultMaxSteps),
         QStringLiteral("N"), QString::number(kDefaultMaxSteps)},
        traceOption(QStringLiteral(
            "命令ごとに1行: アドレス, 命令, 変わったレジスタ, 変わったメモリ, フラグ")),
        {QStringLiteral("state"),
         QStringLiteral("終了時のレジスタ, フラグ, ラベルの値, メモリを出力します")}}},
  };
}

QString generalHelp() {
  QString text = QStringLiteral("使い方: rpnw COMMAND [OPTIONS] ARGUMENTS...\n"
                                "逆ポーランド記法ワークベンチのエンジンを画面なしで使います.\n\n"
                                "コマンド:\n");
  for (const Command& command : commands())
    text += QStringLiteral("  %1 %2\n").arg(command.name, -10).arg(command.arguments);
  text += QStringLiteral(
      "  help [COMMAND]\n\n"
      "各コマンドの説明: rpnw help COMMAND, rpnw COMMAND --help\n"
      "- で始まる式は -- の後に書きます: rpnw convert -- -A+B\n\n"
      "終了コード: 0 正常, 1 エラーのメッセージがあった, 2 使い方の誤り・読めないファイル,\n"
      "3 マシンのフォールトで停止, 4 --max-steps で停止 (入力が複数のときは最大の値)\n");
  return text;
}

QString commandHelp(const Command& command) {
  QString text = QStringLiteral("使い方: rpnw %1 [OPTIONS] %2\n%3\n\nオプション:\n")
                     .arg(command.name, command.arguments, command.description);
  QList<QCommandLineOption> options = command.options;
  options << helpOption();
  for (const QCommandLineOption& option : options) {
    QStringList names;
    for (const QString& name : option.names())
      names << (name.size() == 1 ? u'-' + name : QStringLiteral("--") + name);
    QString left = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
      left += u' ' + option.valueName();
    text += QStringLiteral("  %1  %2\n").arg(left, -26).arg(option.description());
  }
  return text;
}

Status usageError(Console& console, const QString& command, const QString& text) {
  const QString hint = command.isEmpty()
                           ? QStringLiteral("rpnw help")
                           : QStringLiteral("rpnw ") + command + QStringLiteral(" --help");
  console.complain(QStringLiteral("rpnw: ") + text + QStringLiteral(" (") + hint + u')' + u'\n');
  return Status::Usage;
}

std::optional<Format> formatOf(const QString& text) {
  if (text == u"text")
    return Format::Text;
  if (text == u"json")
    return Format::Json;
  if (text == u"csv")
    return Format::Csv;
  return std::nullopt;
}

Status dispatch(const Command& command, const QCommandLineParser& parser, Format format,
                Console& console) {
  const QStringList inputs = parser.positionalArguments();
  const QString& name = command.name;
  if (name == u"convert")
    return convert(inputs, {format, parser.isSet(QStringLiteral("trace"))}, console);
  if (name == u"execute") {
    ExecuteOptions options{format, parser.isSet(QStringLiteral("trace")), {}};
    // The names are the execution screen's; its engine says which it knows.
    const execution::ExecutionView table;
    for (const QString& set : parser.values(QStringLiteral("set"))) {
      const qsizetype equals = set.indexOf(u'=');
      const QString variable = set.left(equals);
      if (equals < 0 ||
          std::find(table.lblName.begin(), table.lblName.end(), variable) == table.lblName.end())
        return usageError(console, name,
                          execution::variableNotFoundMessage() + QStringLiteral(": --set ") + set);
      options.values.emplace_back(variable, set.mid(equals + 1));
    }
    return execute(inputs, options, console);
  }
  if (name == u"translate") {
    if (parser.isSet(QStringLiteral("listing")) && parser.isSet(QStringLiteral("source")))
      return usageError(console, name,
                        QStringLiteral("--listing と --source は同時に指定できません"));
    return translate(
        inputs,
        {format, parser.isSet(QStringLiteral("optimise")), parser.isSet(QStringLiteral("source"))},
        console);
  }
  if (name == u"assemble")
    return assemble(inputs, {format}, console);
  RunOptions options{format, parser.isSet(QStringLiteral("trace")),
                     parser.isSet(QStringLiteral("state")), parser.values(QStringLiteral("input")),
                     kDefaultMaxSteps};
  bool ok = false;
  options.maxSteps = parser.value(QStringLiteral("max-steps")).toLongLong(&ok);
  if (!ok || options.maxSteps < 1)
    return usageError(console, name,
                      QStringLiteral("--max-steps には1以上の整数を指定します: ") +
                          parser.value(QStringLiteral("max-steps")));
  return run(inputs, options, console);
}

Status rpnwStatus(const QStringList& arguments, Console& console) {
  if (arguments.size() < 2) {
    console.complain(generalHelp());
    return Status::Usage;
  }
  const QString& name = arguments.at(1);
  const QList<Command> all = commands();
  const auto find = [&all](const QString& wanted) {
    return std::find_if(all.begin(), all.end(),
                        [&wanted](const Command& c) { return c.name == wanted; });
  };
  if (name == u"help" || name == u"--help" || name == u"-h") {
    if (arguments.size() < 3) {
      console.print(generalHelp());
      return Status::Ok;
    }
    const auto command = find(arguments.at(2));
    if (command == all.end())
      return usageError(console, {}, QStringLiteral("不明なコマンドです: ") + arguments.at(2));
    console.print(commandHelp(*command));
    return Status::Ok;
  }
  const auto command = find(name);
  if (command == all.end())
    return usageError(console, {}, QStringLiteral("不明なコマンドです: ") + name);

  QCommandLineParser parser;
  parser.addOptions(command->options);
  parser.addOption(helpOption());
  if (!parser.parse(QStringList{arguments.at(0)} + arguments.mid(2)))
    return usageError(console, name, parser.errorText());
  if (parser.isSet(QStringLiteral("help"))) {
    console.print(commandHelp(*command));
    return Status::Ok;
  }
  if (parser.positionalArguments().isEmpty())
    return usageError(console, name, QStringLiteral("%1 がありません").arg(command->arguments));
  // Every command has --format; csv only those with a trace, and only with --trace.
  const auto has = [&command](const QString& option) {
    return std::any_of(
        command->options.begin(), command->options.end(),
        [&option](const QCommandLineOption& o) { return o.names().contains(option); });
  };
  const std::optional<Format> format = formatOf(parser.value(QStringLiteral("format")));
  if (!format)
    return usageError(console, name,
                      QStringLiteral("不明な出力形式です: ") +
                          parser.value(QStringLiteral("format")));
  if (*format == Format::Csv &&
      (!has(QStringLiteral("trace")) || !parser.isSet(QStringLiteral("trace"))))
    return usageError(console, name, QStringLiteral("--format csv は --trace と共に使います"));
  return dispatch(*command, parser, *format, console);
}

} // namespace

int rpnw(const QStringList& arguments, Console& console) {
  return static_cast<int>(rpnwStatus(arguments, console));
}

} // namespace rpn::cli
