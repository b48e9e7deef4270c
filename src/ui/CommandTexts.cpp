#include "ui/CommandTexts.h"

#include <array>

#include "document/CommandIds.h"

namespace kinovela::ui {

namespace {

constexpr std::array kTexts{
    CommandText{ID_FILE_NEW, "新規作成(&N)\tCtrl+N", "新しいシーンを作成します", "新規作成"},
    CommandText{ID_FILE_OPEN, "開く(&O)...\tCtrl+O", "Kinovela ファイルを開くか Metasequoia ファイルを追加します", "開く"},
    CommandText{ID_FILE_SAVE, "上書き保存(&S)\tCtrl+S", "シーンを同じ名前で保存します", "上書き保存"},
    CommandText{ID_FILE_SAVE_AS, "名前を付けて保存(&A)...\tCtrl+A", "シーンに名前を付けて保存するか、他の形式で書き出します",
                "名前を付けて保存"},
    CommandText{ID_FILE_MRU, "最近使ったﾌｧｲﾙ", "このファイルを開きます", "最近使ったファイル"},
    CommandText{ID_APP_EXIT, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "Kinovela を終了します", "終了"},
    CommandText{ID_EDIT_UNDO, "元に戻す(&U)\tCtrl+Z", "直前の姿勢の変更を取り消します", "元に戻す"},
    CommandText{ID_EDIT_REDO, "繰り返す(&R)\tCtrl+Y", "取り消した変更をやり直します", "繰り返す"},
    CommandText{ID_COPY_ANIMATION, "全アニメーションのコピー(&C)", "選択中のモデルの全フレームをコピーします",
                "全アニメーションのコピー"},
    CommandText{ID_PASTE_ANIMATION, "全アニメーションの貼り付け(&P)", "コピーしたアニメーションを選択中のモデルに貼り付けます",
                "全アニメーションの貼り付け"},
    CommandText{ID_MOUSE_CAMERA, "ﾏｳｽでｶﾒﾗを操作(&C)\tCtrl+C", "マウスでカメラを動かします", "マウスでカメラを操作"},
    CommandText{ID_MOUSE_MODEL, "ﾏｳｽでﾓﾃﾞﾙを操作(&M)\tCtrl+M", "マウスで選択中のモデルを動かします", "マウスでモデルを操作"},
    CommandText{ID_MODE_MOVE, "移動(&M)\tCtrl+V", "ドラッグと X/Y/Z 欄で位置を変えます", "移動"},
    CommandText{ID_MODE_ROTATE, "回転(&R)\tCtrl+R", "ドラッグと X/Y/Z 欄で回転を変えます", "回転"},
    CommandText{ID_MODE_SCALE, "拡大(&E)\tCtrl+L", "ドラッグと X/Y/Z 欄で拡大率を変えます", "拡大"},
    CommandText{ID_PLAY, "再生(&P)\tCtrl+B", "アニメーションを再生します", "再生"},
    CommandText{ID_STOP, "停止(&S)\tCtrl+D", "再生を止めます", "停止"},
    CommandText{ID_NEXT_FRAME, "1ﾌﾚｰﾑ進む(&N)\tCtrl+E", "次のフレームへ進みます", "1フレーム進む"},
    CommandText{ID_PREV_FRAME, "1ﾌﾚｰﾑ戻る(&P)\tCtrl+F", "前のフレームへ戻ります", "1フレーム戻る"},
    CommandText{ID_NEXT_KEY, "次のｷｰﾌﾚｰﾑ(&C)\tCtrl+G", "選択中のモデルの次のキーフレームへ進みます", "次のキーフレーム"},
    CommandText{ID_PREV_KEY, "前のｷｰﾌﾚｰﾑ(&B)\tCtrl+H", "選択中のモデルの前のキーフレームへ戻ります", "前のキーフレーム"},
    CommandText{ID_FIRST_FRAME, "最初のﾌﾚｰﾑ(&F)\tCtrl+I", "最初のフレームへ移ります", "最初のフレーム"},
    CommandText{ID_LAST_FRAME, "最後のﾌﾚｰﾑ(&L)\tCtrl+J", "最後のフレームへ移ります", "最後のフレーム"},
    CommandText{ID_KEY_DIALOG, "ｷｰﾌﾚｰﾑの追加・削除(&K)\tCtrl+K", "フレームを指定してキーフレームを追加・削除します",
                "キーフレームの追加・削除"},
    CommandText{ID_KEY_ADD, "選択ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ追加(&A)\tCtrl+P", "選択中のモデルの現在のフレームをキーフレームにします",
                "選択モデルのキーフレーム追加"},
    CommandText{ID_KEY_ADD_ALL, "全ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ追加(&Y)\tCtrl+Q", "全てのモデルの現在のフレームをキーフレームにします",
                "全モデルのキーフレーム追加"},
    CommandText{ID_KEY_DELETE, "選択ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ削除(&D)\tCtrl+T", "選択中のモデルの現在のキーフレームを削除します",
                "選択モデルのキーフレーム削除"},
    CommandText{ID_KEY_DELETE_ALL, "全ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ削除(&E)\tCtrl+U", "全てのモデルの現在のキーフレームを削除します",
                "全モデルのキーフレーム削除"},
    CommandText{ID_AUTO_KEY, "自動ｷｰﾌﾚｰﾑ(&T)\tCtrl+Shift+K", "姿勢を変えるたびに、そのフレームを選択中のモデルのキーフレームにします",
                "自動キーフレーム"},
    CommandText{ID_INSERT_FRAMES, "ﾌﾚｰﾑを挿入(&G)\tAlt+R", "指定したフレームの後ろにフレームを挿入します", "フレームを挿入"},
    CommandText{ID_DELETE_FRAMES, "ﾌﾚｰﾑを削除(&H)\tAlt+U", "指定した範囲のフレームを削除します", "フレームを削除"},
    CommandText{ID_SMOOTH, "ｽﾑｰｽﾞ･ｼｪｰﾃﾞｨﾝｸﾞ(&S)\tAlt+P", "スムーズ・シェーディングとフラット・シェーディングを切り替えます",
                "スムーズ・シェーディング"},
    CommandText{ID_CAMERA_RESET, "ｶﾒﾗの初期化(&I)\tAlt+W", "カメラを初期位置に戻します", "カメラの初期化"},
    CommandText{ID_BACKGROUND, "背景色(&C)\tAlt+N", "3D ビューの背景色を選びます", "背景色"},
    CommandText{ID_TEXTURE_FOLDERS, "ﾃｸｽﾁｬ ﾌｫﾙﾀﾞ(&T)...", "テクスチャの画像を探すフォルダを設定します", "テクスチャ フォルダ"},
    CommandText{ID_DELETE_REGISTRY, "ﾚｼﾞｽﾄﾘの削除(&U)", "保存された設定を削除します", "設定の削除"},
    CommandText{ID_ENGLISH, "English(&E)\tAlt+L", "表示言語を英語に切り替えます", "English"},
    CommandText{ID_RENDER_OPENGL, "OpenGL(&O)\tAlt+K", "OpenGL で描画します", "OpenGL"},
    CommandText{ID_RENDER_DIRECTX, "DirectX(&D)\tAlt+D", "DirectX 方式のソフトウェア描画に切り替えます", "DirectX"},
    CommandText{ID_FRAME_ALL, "全ﾓﾃﾞﾙを画面に収める(&A)\tF4", "表示中の全てのモデルが 3D ビューに収まるようにカメラを動かします",
                "全モデルを画面に収める"},
    CommandText{ID_FRAME_SELECTED, "選択ﾓﾃﾞﾙを画面に収める(&F)\tF5", "選択中のモデルが 3D ビューに収まるようにカメラを動かします",
                "選択モデルを画面に収める"},
    CommandText{ID_VIEW_TOOLBAR, "ﾒｲﾝ ﾂｰﾙ ﾊﾞｰ(&M)\tAlt+A", "メイン ツール バーの表示・非表示を切り替えます", "メイン ツール バー"},
    CommandText{ID_VIEW_CONTROL_TOOLBAR, "ｺﾝﾄﾛｰﾙ ﾂｰﾙ ﾊﾞｰ(&C)\tAlt+B", "コントロール ツール バーの表示・非表示を切り替えます",
                "コントロール ツール バー"},
    CommandText{ID_VIEW_STATUS_BAR, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)\tAlt+J", "ステータス バーの表示・非表示を切り替えます", "ステータス バー"},
    CommandText{ID_HELP_INDEX, "目次(&H)\tAlt+I", "ヘルプの目次を開きます", "目次"},
    CommandText{ID_HOME_PAGE, "Metasequoiaのホームページ(&M)\tAlt+G", "Metasequoia のホームページを開きます",
                "Metasequoiaのホームページ"},
    CommandText{ID_APP_ABOUT, "Kinovela のﾊﾞｰｼﾞｮﾝ情報(&A)...\tAlt+Q", "プログラムの情報とバージョンを表示します",
                "バージョン情報"},
    CommandText{ID_MODEL_ADD, "ﾓﾃﾞﾙ追加(&A)\tAlt+X", "Metasequoia ファイルのモデルを追加します", "モデル追加"},
    CommandText{ID_MODEL_DELETE, "ﾓﾃﾞﾙ削除(&D)\tAlt+Delete", "選択中のモデルを削除します", "モデル削除"},
    CommandText{ID_MODEL_RENAME, "名前変更(&C)\tAlt+Z", "選択中のモデルの名前を変えます", "名前変更"},
    CommandText{ID_MODEL_SHOW_HIDE, "表示・非表示(&V)\tAlt+M", "選択中のモデルの表示・非表示を切り替えます", "表示・非表示"},
};

}  // namespace

const CommandText* FindCommandText(int id)
{
    for (const CommandText& t : kTexts)
        if (t.id == id) return &t;
    return nullptr;
}

QString Caption(int id)
{
    const CommandText* t = FindCommandText(id);
    return t ? QString::fromUtf8(t->caption) : QString();
}

QKeySequence Shortcut(int id)
{
    const QString caption = Caption(id);
    const qsizetype tab = caption.indexOf('\t');
    return tab < 0 ? QKeySequence() : QKeySequence(caption.mid(tab + 1), QKeySequence::PortableText);
}

}  // namespace kinovela::ui
