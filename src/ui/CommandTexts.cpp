#include "ui/CommandTexts.h"

#include <QRegularExpression>

#include <array>

#include "document/CommandIds.h"

namespace kinovela::ui {

namespace {

// Caption, status-bar prompt and tool tip, each in the "Command" context
// of the translation.
constexpr std::array kTexts{
    CommandText{ID_FILE_NEW,
                QT_TRANSLATE_NOOP("Command", "新規作成(&N)\tCtrl+N"),
                QT_TRANSLATE_NOOP("Command", "新しいシーンを作成します"),
                QT_TRANSLATE_NOOP("Command", "新規作成")},
    CommandText{ID_FILE_OPEN,
                QT_TRANSLATE_NOOP("Command", "開く(&O)...\tCtrl+O"),
                QT_TRANSLATE_NOOP("Command", "Kinovela ファイルを開くか Metasequoia ファイルを追加します"),
                QT_TRANSLATE_NOOP("Command", "開く")},
    CommandText{ID_FILE_SAVE,
                QT_TRANSLATE_NOOP("Command", "上書き保存(&S)\tCtrl+S"),
                QT_TRANSLATE_NOOP("Command", "シーンを同じ名前で保存します"),
                QT_TRANSLATE_NOOP("Command", "上書き保存")},
    CommandText{ID_FILE_SAVE_AS,
                QT_TRANSLATE_NOOP("Command", "名前を付けて保存(&A)...\tCtrl+A"),
                QT_TRANSLATE_NOOP("Command", "シーンに名前を付けて保存するか、他の形式で書き出します"),
                QT_TRANSLATE_NOOP("Command", "名前を付けて保存")},
    CommandText{ID_FILE_MRU,
                QT_TRANSLATE_NOOP("Command", "最近使ったﾌｧｲﾙ"),
                QT_TRANSLATE_NOOP("Command", "このファイルを開きます"),
                QT_TRANSLATE_NOOP("Command", "最近使ったファイル")},
    CommandText{ID_APP_EXIT,
                QT_TRANSLATE_NOOP("Command", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"),
                QT_TRANSLATE_NOOP("Command", "Kinovela を終了します"),
                QT_TRANSLATE_NOOP("Command", "終了")},
    CommandText{ID_EDIT_UNDO,
                QT_TRANSLATE_NOOP("Command", "元に戻す(&U)\tCtrl+Z"),
                QT_TRANSLATE_NOOP("Command", "直前の変更を取り消します"),
                QT_TRANSLATE_NOOP("Command", "元に戻す")},
    CommandText{ID_EDIT_REDO,
                QT_TRANSLATE_NOOP("Command", "繰り返す(&R)\tCtrl+Y"),
                QT_TRANSLATE_NOOP("Command", "取り消した変更をやり直します"),
                QT_TRANSLATE_NOOP("Command", "繰り返す")},
    CommandText{ID_COPY_ANIMATION,
                QT_TRANSLATE_NOOP("Command", "全アニメーションのコピー(&C)"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルの全フレームをコピーします"),
                QT_TRANSLATE_NOOP("Command", "全アニメーションのコピー")},
    CommandText{ID_PASTE_ANIMATION,
                QT_TRANSLATE_NOOP("Command", "全アニメーションの貼り付け(&P)"),
                QT_TRANSLATE_NOOP("Command", "コピーしたアニメーションを選択中のモデルに貼り付けます"),
                QT_TRANSLATE_NOOP("Command", "全アニメーションの貼り付け")},
    CommandText{ID_MOUSE_CAMERA,
                QT_TRANSLATE_NOOP("Command", "ﾏｳｽでｶﾒﾗを操作(&C)\tCtrl+C"),
                QT_TRANSLATE_NOOP("Command", "マウスでカメラを動かします"),
                QT_TRANSLATE_NOOP("Command", "マウスでカメラを操作")},
    CommandText{ID_MOUSE_MODEL,
                QT_TRANSLATE_NOOP("Command", "ﾏｳｽでﾓﾃﾞﾙを操作(&M)\tCtrl+M"),
                QT_TRANSLATE_NOOP("Command", "マウスで選択中のモデルを動かします"),
                QT_TRANSLATE_NOOP("Command", "マウスでモデルを操作")},
    CommandText{ID_MODE_MOVE,
                QT_TRANSLATE_NOOP("Command", "移動(&M)\tCtrl+V"),
                QT_TRANSLATE_NOOP("Command", "ドラッグと X/Y/Z 欄で位置を変えます"),
                QT_TRANSLATE_NOOP("Command", "移動")},
    CommandText{ID_MODE_ROTATE,
                QT_TRANSLATE_NOOP("Command", "回転(&R)\tCtrl+R"),
                QT_TRANSLATE_NOOP("Command", "ドラッグと X/Y/Z 欄で回転を変えます"),
                QT_TRANSLATE_NOOP("Command", "回転")},
    CommandText{ID_MODE_SCALE,
                QT_TRANSLATE_NOOP("Command", "拡大(&E)\tCtrl+L"),
                QT_TRANSLATE_NOOP("Command", "ドラッグと X/Y/Z 欄で拡大率を変えます"),
                QT_TRANSLATE_NOOP("Command", "拡大")},
    CommandText{ID_PLAY,
                QT_TRANSLATE_NOOP("Command", "再生(&P)\tCtrl+B"),
                QT_TRANSLATE_NOOP("Command", "アニメーションを再生します"),
                QT_TRANSLATE_NOOP("Command", "再生")},
    CommandText{ID_STOP,
                QT_TRANSLATE_NOOP("Command", "停止(&S)\tCtrl+D"),
                QT_TRANSLATE_NOOP("Command", "再生を止めます"),
                QT_TRANSLATE_NOOP("Command", "停止")},
    CommandText{ID_NEXT_FRAME,
                QT_TRANSLATE_NOOP("Command", "1ﾌﾚｰﾑ進む(&N)\tCtrl+E"),
                QT_TRANSLATE_NOOP("Command", "次のフレームへ進みます"),
                QT_TRANSLATE_NOOP("Command", "1フレーム進む")},
    CommandText{ID_PREV_FRAME,
                QT_TRANSLATE_NOOP("Command", "1ﾌﾚｰﾑ戻る(&P)\tCtrl+F"),
                QT_TRANSLATE_NOOP("Command", "前のフレームへ戻ります"),
                QT_TRANSLATE_NOOP("Command", "1フレーム戻る")},
    CommandText{ID_NEXT_KEY,
                QT_TRANSLATE_NOOP("Command", "次のｷｰﾌﾚｰﾑ(&C)\tCtrl+G"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルの次のキーフレームへ進みます"),
                QT_TRANSLATE_NOOP("Command", "次のキーフレーム")},
    CommandText{ID_PREV_KEY,
                QT_TRANSLATE_NOOP("Command", "前のｷｰﾌﾚｰﾑ(&B)\tCtrl+H"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルの前のキーフレームへ戻ります"),
                QT_TRANSLATE_NOOP("Command", "前のキーフレーム")},
    CommandText{ID_FIRST_FRAME,
                QT_TRANSLATE_NOOP("Command", "最初のﾌﾚｰﾑ(&F)\tCtrl+I"),
                QT_TRANSLATE_NOOP("Command", "最初のフレームへ移ります"),
                QT_TRANSLATE_NOOP("Command", "最初のフレーム")},
    CommandText{ID_LAST_FRAME,
                QT_TRANSLATE_NOOP("Command", "最後のﾌﾚｰﾑ(&L)\tCtrl+J"),
                QT_TRANSLATE_NOOP("Command", "最後のフレームへ移ります"),
                QT_TRANSLATE_NOOP("Command", "最後のフレーム")},
    CommandText{ID_KEY_DIALOG,
                QT_TRANSLATE_NOOP("Command", "ｷｰﾌﾚｰﾑの追加・削除(&K)\tCtrl+K"),
                QT_TRANSLATE_NOOP("Command", "フレームを指定してキーフレームを追加・削除します"),
                QT_TRANSLATE_NOOP("Command", "キーフレームの追加・削除")},
    CommandText{ID_KEY_ADD,
                QT_TRANSLATE_NOOP("Command", "選択ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ追加(&A)\tCtrl+P"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルの現在のフレームをキーフレームにします"),
                QT_TRANSLATE_NOOP("Command", "選択モデルのキーフレーム追加")},
    CommandText{ID_KEY_ADD_ALL,
                QT_TRANSLATE_NOOP("Command", "全ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ追加(&Y)\tCtrl+Q"),
                QT_TRANSLATE_NOOP("Command", "全てのモデルの現在のフレームをキーフレームにします"),
                QT_TRANSLATE_NOOP("Command", "全モデルのキーフレーム追加")},
    CommandText{ID_KEY_DELETE,
                QT_TRANSLATE_NOOP("Command", "選択ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ削除(&D)\tCtrl+T"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルの現在のキーフレームを削除します"),
                QT_TRANSLATE_NOOP("Command", "選択モデルのキーフレーム削除")},
    CommandText{ID_KEY_DELETE_ALL,
                QT_TRANSLATE_NOOP("Command", "全ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ削除(&E)\tCtrl+U"),
                QT_TRANSLATE_NOOP("Command", "全てのモデルの現在のキーフレームを削除します"),
                QT_TRANSLATE_NOOP("Command", "全モデルのキーフレーム削除")},
    CommandText{ID_AUTO_KEY,
                QT_TRANSLATE_NOOP("Command", "自動ｷｰﾌﾚｰﾑ(&T)\tCtrl+Shift+K"),
                QT_TRANSLATE_NOOP("Command", "姿勢を変えるたびに、そのフレームを選択中のモデルのキーフレームにします"),
                QT_TRANSLATE_NOOP("Command", "自動キーフレーム")},
    CommandText{ID_INSERT_FRAMES,
                QT_TRANSLATE_NOOP("Command", "ﾌﾚｰﾑを挿入(&G)\tAlt+R"),
                QT_TRANSLATE_NOOP("Command", "指定したフレームの後ろにフレームを挿入します"),
                QT_TRANSLATE_NOOP("Command", "フレームを挿入")},
    CommandText{ID_DELETE_FRAMES,
                QT_TRANSLATE_NOOP("Command", "ﾌﾚｰﾑを削除(&H)\tAlt+U"),
                QT_TRANSLATE_NOOP("Command", "指定した範囲のフレームを削除します"),
                QT_TRANSLATE_NOOP("Command", "フレームを削除")},
    CommandText{ID_SMOOTH,
                QT_TRANSLATE_NOOP("Command", "ｽﾑｰｽﾞ･ｼｪｰﾃﾞｨﾝｸﾞ(&S)\tAlt+P"),
                QT_TRANSLATE_NOOP("Command", "スムーズ・シェーディングとフラット・シェーディングを切り替えます"),
                QT_TRANSLATE_NOOP("Command", "スムーズ・シェーディング")},
    CommandText{ID_CAMERA_RESET,
                QT_TRANSLATE_NOOP("Command", "ｶﾒﾗの初期化(&I)\tAlt+W"),
                QT_TRANSLATE_NOOP("Command", "カメラを初期位置に戻します"),
                QT_TRANSLATE_NOOP("Command", "カメラの初期化")},
    CommandText{ID_BACKGROUND,
                QT_TRANSLATE_NOOP("Command", "背景色(&C)\tAlt+N"),
                QT_TRANSLATE_NOOP("Command", "3D ビューの背景色を選びます"),
                QT_TRANSLATE_NOOP("Command", "背景色")},
    CommandText{ID_TEXTURE_FOLDERS,
                QT_TRANSLATE_NOOP("Command", "ﾃｸｽﾁｬ ﾌｫﾙﾀﾞ(&T)..."),
                QT_TRANSLATE_NOOP("Command", "テクスチャの画像を探すフォルダを設定します"),
                QT_TRANSLATE_NOOP("Command", "テクスチャ フォルダ")},
    CommandText{ID_DELETE_REGISTRY,
                QT_TRANSLATE_NOOP("Command", "ﾚｼﾞｽﾄﾘの削除(&U)"),
                QT_TRANSLATE_NOOP("Command", "デスクトップへの登録 (プログラム、ファイルの種類、アイコン) を削除します"),
                QT_TRANSLATE_NOOP("Command", "登録の削除")},
    CommandText{ID_ENGLISH,
                QT_TRANSLATE_NOOP("Command", "English(&E)\tAlt+L"),
                QT_TRANSLATE_NOOP("Command", "表示言語を英語に切り替えます"),
                QT_TRANSLATE_NOOP("Command", "English")},
    CommandText{ID_RENDER_OPENGL,
                QT_TRANSLATE_NOOP("Command", "OpenGL(&O)\tAlt+K"),
                QT_TRANSLATE_NOOP("Command", "OpenGL で描画します"),
                QT_TRANSLATE_NOOP("Command", "OpenGL")},
    CommandText{ID_RENDER_DIRECTX,
                QT_TRANSLATE_NOOP("Command", "DirectX(&D)\tAlt+D"),
                QT_TRANSLATE_NOOP("Command", "DirectX 方式のソフトウェア描画に切り替えます"),
                QT_TRANSLATE_NOOP("Command", "DirectX")},
    CommandText{ID_FRAME_ALL,
                QT_TRANSLATE_NOOP("Command", "全ﾓﾃﾞﾙを画面に収める(&A)\tF4"),
                QT_TRANSLATE_NOOP("Command", "表示中の全てのモデルが 3D ビューに収まるようにカメラを動かします"),
                QT_TRANSLATE_NOOP("Command", "全モデルを画面に収める")},
    CommandText{ID_FRAME_SELECTED,
                QT_TRANSLATE_NOOP("Command", "選択ﾓﾃﾞﾙを画面に収める(&F)\tF5"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルが 3D ビューに収まるようにカメラを動かします"),
                QT_TRANSLATE_NOOP("Command", "選択モデルを画面に収める")},
    CommandText{ID_VIEW_TOOLBAR,
                QT_TRANSLATE_NOOP("Command", "ﾒｲﾝ ﾂｰﾙ ﾊﾞｰ(&M)\tAlt+A"),
                QT_TRANSLATE_NOOP("Command", "メイン ツール バーの表示・非表示を切り替えます"),
                QT_TRANSLATE_NOOP("Command", "メイン ツール バー")},
    CommandText{ID_VIEW_CONTROL_TOOLBAR,
                QT_TRANSLATE_NOOP("Command", "ｺﾝﾄﾛｰﾙ ﾂｰﾙ ﾊﾞｰ(&C)\tAlt+B"),
                QT_TRANSLATE_NOOP("Command", "コントロール ツール バーの表示・非表示を切り替えます"),
                QT_TRANSLATE_NOOP("Command", "コントロール ツール バー")},
    CommandText{ID_VIEW_STATUS_BAR,
                QT_TRANSLATE_NOOP("Command", "ｽﾃｰﾀｽ ﾊﾞｰ(&S)\tAlt+J"),
                QT_TRANSLATE_NOOP("Command", "ステータス バーの表示・非表示を切り替えます"),
                QT_TRANSLATE_NOOP("Command", "ステータス バー")},
    CommandText{ID_HELP_INDEX,
                QT_TRANSLATE_NOOP("Command", "目次(&H)\tAlt+I"),
                QT_TRANSLATE_NOOP("Command", "ヘルプの目次を開きます"),
                QT_TRANSLATE_NOOP("Command", "目次")},
    CommandText{ID_HOME_PAGE,
                QT_TRANSLATE_NOOP("Command", "Metasequoiaのホームページ(&M)\tAlt+G"),
                QT_TRANSLATE_NOOP("Command", "Metasequoia のホームページを開きます"),
                QT_TRANSLATE_NOOP("Command", "Metasequoiaのホームページ")},
    CommandText{ID_APP_ABOUT,
                QT_TRANSLATE_NOOP("Command", "Kinovela のﾊﾞｰｼﾞｮﾝ情報(&A)...\tAlt+Q"),
                QT_TRANSLATE_NOOP("Command", "プログラムの情報とバージョンを表示します"),
                QT_TRANSLATE_NOOP("Command", "バージョン情報")},
    CommandText{ID_MODEL_ADD,
                QT_TRANSLATE_NOOP("Command", "ﾓﾃﾞﾙ追加(&A)\tAlt+X"),
                QT_TRANSLATE_NOOP("Command", "Metasequoia ファイルのモデルを追加します"),
                QT_TRANSLATE_NOOP("Command", "モデル追加")},
    CommandText{ID_MODEL_DELETE,
                QT_TRANSLATE_NOOP("Command", "ﾓﾃﾞﾙ削除(&D)\tAlt+Delete"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルを削除します"),
                QT_TRANSLATE_NOOP("Command", "モデル削除")},
    CommandText{ID_MODEL_RENAME,
                QT_TRANSLATE_NOOP("Command", "名前変更(&C)\tAlt+Z"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルの名前を変えます"),
                QT_TRANSLATE_NOOP("Command", "名前変更")},
    CommandText{ID_MODEL_SHOW_HIDE,
                QT_TRANSLATE_NOOP("Command", "表示・非表示(&V)\tAlt+M"),
                QT_TRANSLATE_NOOP("Command", "選択中のモデルの表示・非表示を切り替えます"),
                QT_TRANSLATE_NOOP("Command", "表示・非表示")},
};

}  // namespace

std::span<const CommandText> CommandTexts() { return kTexts; }

const CommandText* FindCommandText(int id)
{
    for (const CommandText& t : kTexts)
        if (t.id == id) return &t;
    return nullptr;
}

QString Caption(int id)
{
    const CommandText* t = FindCommandText(id);
    return t ? Tr("Command", t->caption) : QString();
}

QString Prompt(int id)
{
    const CommandText* t = FindCommandText(id);
    return t ? Tr("Command", t->prompt) : QString();
}

QString Tip(int id)
{
    const CommandText* t = FindCommandText(id);
    return t ? Tr("Command", t->tip) : QString();
}

QString PlainCaption(const QString& caption)
{
    QString text = caption.section('\t', 0, 0);
    // "開く(&O)..." and "&Open...": the mnemonic in brackets or in the word.
    static const QRegularExpression bracketed(QStringLiteral("\\(&[^)]\\)"));
    text.remove(bracketed);
    if (text.endsWith(QLatin1String("..."))) text.chop(3);
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;  // "&&" is one "&"
        plain += text[i];
    }
    return plain.trimmed();
}

QKeySequence Shortcut(int id)
{
    // From the built-in caption: a translation never moves a shortcut.
    const CommandText* t = FindCommandText(id);
    const QString caption = t ? QString::fromUtf8(t->caption) : QString();
    const qsizetype tab = caption.indexOf('\t');
    return tab < 0 ? QKeySequence() : QKeySequence(caption.mid(tab + 1), QKeySequence::PortableText);
}

}  // namespace kinovela::ui
