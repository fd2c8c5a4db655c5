#include "engine/messages.h"

#include <iterator>

namespace {

struct Message {
  int id;
  const char16_t* text;
};

constexpr Message kMessages[] = {
    {kIdsAboutMenu, u"バージョン情報(&A)..."},
    {kIdsConvertSucceeded, u"変換が正常に終了しました。"},
    {kIdsOverwriteQuestion, u"%sは既に存在します。\n上書きしますか？"},
    {kIdsFileFilter, u"コンフィグファイル(*.txt)|*.txt||"},
    {kIdsErrorNone, u"正常です。"},
    {kIdsErrorUnsupported, u"サポートされていません。"},
    {kIdsErrorNotConvertible,
     u"configを変換できませんでした。\nVLK250のGUIで生成されたconfigではない可能性があります。"},
    {kIdsErrorOperation, u"エラーです。"},
    {kIdsErrorOutputOpen, u"出力ファイルのオープンに失敗しました。"},
    {kIdsErrorInputOpen, u"入力ファイルのオープンに失敗しました。"},
    {kIdsErrorAlreadyConverted,
     u"入力ファイルは変換済みのQDN570用コンフィグです。\nVLK250から保存したコンフィグを指定してくだ"
     u"さい。"},
    {kIdsErrorOutputCheck, u"変換結果の検査で誤りが見つかったため、出力しませんでした。"},
    {kIdsFileErrorDiskFull,
     u"%1 に書き込めませんでした。ディスクの空きが足りないか、Windows "
     u"の文字コードで書けない文字があります。"},
    {kIdsFileErrorGeneric,
     u"%1 を読み書きできませんでした。読み取りエラーか、テキストのコンフィグでない、または Windows "
     u"の文字コードで読めないファイルです。"},
    {kIdsFileErrorTooLarge,
     u"%1 は %2 バイトあり、入力ファイルの上限（%3 MiB）を超えているため読み込みませんでした。"
     u"VLK250 から保存したコンフィグを指定してください。"},
    {kIdsFileErrorTooLargeStream,
     u"%1 は入力ファイルの上限（%2 MiB）を超えたため、読み込みを途中でやめました。"
     u"VLK250 から保存したコンフィグを指定してください。"},
};

}  // namespace

bool LoadMessage(int id, std::u16string& text) {
  for (const Message& m : kMessages) {
    if (m.id == id) {
      text = m.text;
      return true;
    }
  }
  return false;
}
