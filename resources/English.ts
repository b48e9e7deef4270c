<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>About</name>
    <message>
        <source>Kinovelaのﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About Kinovela</translation>
    </message>
    <message>
        <source>Qt %1 でビルド (実行中の Qt は %2)</source>
        <translation>Built with Qt %1 (running on Qt %2)</translation>
    </message>
</context>
<context>
    <name>Command</name>
    <message>
        <source>新規作成(&amp;N)	Ctrl+N</source>
        <translation>&amp;New	Ctrl+N</translation>
    </message>
    <message>
        <source>新しいシーンを作成します</source>
        <translation>Start a new, empty scene</translation>
    </message>
    <message>
        <source>新規作成</source>
        <translation>New</translation>
    </message>
    <message>
        <source>開く(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>Kinovela ファイルを開くか Metasequoia ファイルを追加します</source>
        <translation>Open a Kinovela scene, or add the models of a Metasequoia document</translation>
    </message>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>上書き保存(&amp;S)	Ctrl+S</source>
        <translation>&amp;Save	Ctrl+S</translation>
    </message>
    <message>
        <source>シーンを同じ名前で保存します</source>
        <translation>Save the scene under its name</translation>
    </message>
    <message>
        <source>上書き保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>名前を付けて保存(&amp;A)...	Ctrl+A</source>
        <translation>Save &amp;As...	Ctrl+A</translation>
    </message>
    <message>
        <source>シーンに名前を付けて保存するか、他の形式で書き出します</source>
        <translation>Save the scene under a new name, or export it in another format</translation>
    </message>
    <message>
        <source>名前を付けて保存</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>最近使ったﾌｧｲﾙ</source>
        <translation>Recent Files</translation>
    </message>
    <message>
        <source>このファイルを開きます</source>
        <translation>Open this file</translation>
    </message>
    <message>
        <source>最近使ったファイル</source>
        <translation>Recent files</translation>
    </message>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>Kinovela を終了します</source>
        <translation>Quit Kinovela</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>直前の変更を取り消します</source>
        <translation>Undo the last change</translation>
    </message>
    <message>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>繰り返す(&amp;R)	Ctrl+Y</source>
        <translation>&amp;Redo	Ctrl+Y</translation>
    </message>
    <message>
        <source>取り消した変更をやり直します</source>
        <translation>Redo the change that was undone</translation>
    </message>
    <message>
        <source>繰り返す</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>全アニメーションのコピー(&amp;C)</source>
        <translation>&amp;Copy Whole Animation</translation>
    </message>
    <message>
        <source>選択中のモデルの全フレームをコピーします</source>
        <translation>Copy every frame of the selected model&apos;s animation</translation>
    </message>
    <message>
        <source>全アニメーションのコピー</source>
        <translation>Copy whole animation</translation>
    </message>
    <message>
        <source>全アニメーションの貼り付け(&amp;P)</source>
        <translation>&amp;Paste Whole Animation</translation>
    </message>
    <message>
        <source>コピーしたアニメーションを選択中のモデルに貼り付けます</source>
        <translation>Paste the copied animation onto the selected model</translation>
    </message>
    <message>
        <source>全アニメーションの貼り付け</source>
        <translation>Paste whole animation</translation>
    </message>
    <message>
        <source>ﾏｳｽでｶﾒﾗを操作(&amp;C)	Ctrl+C</source>
        <translation>Mouse Moves the &amp;Camera	Ctrl+C</translation>
    </message>
    <message>
        <source>マウスでカメラを動かします</source>
        <translation>Dragging in the 3D view moves the camera</translation>
    </message>
    <message>
        <source>マウスでカメラを操作</source>
        <translation>Mouse moves the camera</translation>
    </message>
    <message>
        <source>ﾏｳｽでﾓﾃﾞﾙを操作(&amp;M)	Ctrl+M</source>
        <translation>Mouse Moves the &amp;Model	Ctrl+M</translation>
    </message>
    <message>
        <source>マウスで選択中のモデルを動かします</source>
        <translation>Dragging in the 3D view moves the selected model</translation>
    </message>
    <message>
        <source>マウスでモデルを操作</source>
        <translation>Mouse moves the model</translation>
    </message>
    <message>
        <source>移動(&amp;M)	Ctrl+V</source>
        <translation>&amp;Move	Ctrl+V</translation>
    </message>
    <message>
        <source>ドラッグと X/Y/Z 欄で位置を変えます</source>
        <translation>Dragging and the X/Y/Z fields change the position</translation>
    </message>
    <message>
        <source>移動</source>
        <translation>Move</translation>
    </message>
    <message>
        <source>回転(&amp;R)	Ctrl+R</source>
        <translation>&amp;Rotate	Ctrl+R</translation>
    </message>
    <message>
        <source>ドラッグと X/Y/Z 欄で回転を変えます</source>
        <translation>Dragging and the X/Y/Z fields change the rotation</translation>
    </message>
    <message>
        <source>回転</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>拡大(&amp;E)	Ctrl+L</source>
        <translation>Scal&amp;e	Ctrl+L</translation>
    </message>
    <message>
        <source>ドラッグと X/Y/Z 欄で拡大率を変えます</source>
        <translation>Dragging and the X/Y/Z fields change the scale</translation>
    </message>
    <message>
        <source>拡大</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>再生(&amp;P)	Ctrl+B</source>
        <translation>&amp;Play	Ctrl+B</translation>
    </message>
    <message>
        <source>アニメーションを再生します</source>
        <translation>Play the animation</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>停止(&amp;S)	Ctrl+D</source>
        <translation>&amp;Stop	Ctrl+D</translation>
    </message>
    <message>
        <source>再生を止めます</source>
        <translation>Stop playing</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>1ﾌﾚｰﾑ進む(&amp;N)	Ctrl+E</source>
        <translation>&amp;Next Frame	Ctrl+E</translation>
    </message>
    <message>
        <source>次のフレームへ進みます</source>
        <translation>Go to the next frame</translation>
    </message>
    <message>
        <source>1フレーム進む</source>
        <translation>Next frame</translation>
    </message>
    <message>
        <source>1ﾌﾚｰﾑ戻る(&amp;P)	Ctrl+F</source>
        <translation>Pre&amp;vious Frame	Ctrl+F</translation>
    </message>
    <message>
        <source>前のフレームへ戻ります</source>
        <translation>Go back to the previous frame</translation>
    </message>
    <message>
        <source>1フレーム戻る</source>
        <translation>Previous frame</translation>
    </message>
    <message>
        <source>次のｷｰﾌﾚｰﾑ(&amp;C)	Ctrl+G</source>
        <translation>Ne&amp;xt Key Frame	Ctrl+G</translation>
    </message>
    <message>
        <source>選択中のモデルの次のキーフレームへ進みます</source>
        <translation>Go to the selected model&apos;s next key frame</translation>
    </message>
    <message>
        <source>次のキーフレーム</source>
        <translation>Next key frame</translation>
    </message>
    <message>
        <source>前のｷｰﾌﾚｰﾑ(&amp;B)	Ctrl+H</source>
        <translation>Previ&amp;ous Key Frame	Ctrl+H</translation>
    </message>
    <message>
        <source>選択中のモデルの前のキーフレームへ戻ります</source>
        <translation>Go back to the selected model&apos;s previous key frame</translation>
    </message>
    <message>
        <source>前のキーフレーム</source>
        <translation>Previous key frame</translation>
    </message>
    <message>
        <source>最初のﾌﾚｰﾑ(&amp;F)	Ctrl+I</source>
        <translation>&amp;First Frame	Ctrl+I</translation>
    </message>
    <message>
        <source>最初のフレームへ移ります</source>
        <translation>Go to the first frame</translation>
    </message>
    <message>
        <source>最初のフレーム</source>
        <translation>First frame</translation>
    </message>
    <message>
        <source>最後のﾌﾚｰﾑ(&amp;L)	Ctrl+J</source>
        <translation>&amp;Last Frame	Ctrl+J</translation>
    </message>
    <message>
        <source>最後のフレームへ移ります</source>
        <translation>Go to the last frame</translation>
    </message>
    <message>
        <source>最後のフレーム</source>
        <translation>Last frame</translation>
    </message>
    <message>
        <source>ｷｰﾌﾚｰﾑの追加・削除(&amp;K)	Ctrl+K</source>
        <translation>Add or Delete &amp;Key Frames...	Ctrl+K</translation>
    </message>
    <message>
        <source>フレームを指定してキーフレームを追加・削除します</source>
        <translation>Add or delete key frames at a frame you choose</translation>
    </message>
    <message>
        <source>キーフレームの追加・削除</source>
        <translation>Add or delete key frames</translation>
    </message>
    <message>
        <source>選択ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ追加(&amp;A)	Ctrl+P</source>
        <translation>&amp;Add Key Frame to Selected Model	Ctrl+P</translation>
    </message>
    <message>
        <source>選択中のモデルの現在のフレームをキーフレームにします</source>
        <translation>Make the current frame a key frame of the selected model</translation>
    </message>
    <message>
        <source>選択モデルのキーフレーム追加</source>
        <translation>Add key frame to selected model</translation>
    </message>
    <message>
        <source>全ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ追加(&amp;Y)	Ctrl+Q</source>
        <translation>Add Ke&amp;y Frame to All Models	Ctrl+Q</translation>
    </message>
    <message>
        <source>全てのモデルの現在のフレームをキーフレームにします</source>
        <translation>Make the current frame a key frame of every model</translation>
    </message>
    <message>
        <source>全モデルのキーフレーム追加</source>
        <translation>Add key frame to all models</translation>
    </message>
    <message>
        <source>選択ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ削除(&amp;D)	Ctrl+T</source>
        <translation>&amp;Delete Key Frame of Selected Model	Ctrl+T</translation>
    </message>
    <message>
        <source>選択中のモデルの現在のキーフレームを削除します</source>
        <translation>Delete the selected model&apos;s key frame at the current frame</translation>
    </message>
    <message>
        <source>選択モデルのキーフレーム削除</source>
        <translation>Delete key frame of selected model</translation>
    </message>
    <message>
        <source>全ﾓﾃﾞﾙのｷｰﾌﾚｰﾑ削除(&amp;E)	Ctrl+U</source>
        <translation>D&amp;elete Key Frame of All Models	Ctrl+U</translation>
    </message>
    <message>
        <source>全てのモデルの現在のキーフレームを削除します</source>
        <translation>Delete every model&apos;s key frame at the current frame</translation>
    </message>
    <message>
        <source>全モデルのキーフレーム削除</source>
        <translation>Delete key frame of all models</translation>
    </message>
    <message>
        <source>自動ｷｰﾌﾚｰﾑ(&amp;T)	Ctrl+Shift+K</source>
        <translation>Au&amp;to Key	Ctrl+Shift+K</translation>
    </message>
    <message>
        <source>姿勢を変えるたびに、そのフレームを選択中のモデルのキーフレームにします</source>
        <translation>Every change of a pose also makes that frame a key frame of the selected model</translation>
    </message>
    <message>
        <source>自動キーフレーム</source>
        <translation>Auto key</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑを挿入(&amp;G)	Alt+R</source>
        <translation>&amp;Insert Frames...	Alt+R</translation>
    </message>
    <message>
        <source>指定したフレームの後ろにフレームを挿入します</source>
        <translation>Insert frames after a frame you choose</translation>
    </message>
    <message>
        <source>フレームを挿入</source>
        <translation>Insert frames</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑを削除(&amp;H)	Alt+U</source>
        <translation>Delete Fra&amp;mes...	Alt+U</translation>
    </message>
    <message>
        <source>指定した範囲のフレームを削除します</source>
        <translation>Delete a range of frames you choose</translation>
    </message>
    <message>
        <source>フレームを削除</source>
        <translation>Delete frames</translation>
    </message>
    <message>
        <source>ｽﾑｰｽﾞ･ｼｪｰﾃﾞｨﾝｸﾞ(&amp;S)	Alt+P</source>
        <translation>&amp;Smooth Shading	Alt+P</translation>
    </message>
    <message>
        <source>スムーズ・シェーディングとフラット・シェーディングを切り替えます</source>
        <translation>Switch between smooth and flat shading</translation>
    </message>
    <message>
        <source>スムーズ・シェーディング</source>
        <translation>Smooth shading</translation>
    </message>
    <message>
        <source>ｶﾒﾗの初期化(&amp;I)	Alt+W</source>
        <translation>&amp;Reset Camera	Alt+W</translation>
    </message>
    <message>
        <source>カメラを初期位置に戻します</source>
        <translation>Put the camera back where a new scene starts</translation>
    </message>
    <message>
        <source>カメラの初期化</source>
        <translation>Reset camera</translation>
    </message>
    <message>
        <source>背景色(&amp;C)	Alt+N</source>
        <translation>&amp;Background Colour...	Alt+N</translation>
    </message>
    <message>
        <source>3D ビューの背景色を選びます</source>
        <translation>Choose the 3D view&apos;s background colour</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>Background colour</translation>
    </message>
    <message>
        <source>ﾃｸｽﾁｬ ﾌｫﾙﾀﾞ(&amp;T)...</source>
        <translation>&amp;Texture Folders...</translation>
    </message>
    <message>
        <source>テクスチャの画像を探すフォルダを設定します</source>
        <translation>Choose the folders where texture pictures are looked for</translation>
    </message>
    <message>
        <source>テクスチャ フォルダ</source>
        <translation>Texture folders</translation>
    </message>
    <message>
        <source>ﾚｼﾞｽﾄﾘの削除(&amp;U)</source>
        <translation>&amp;Unregister from Desktop</translation>
    </message>
    <message>
        <source>English(&amp;E)	Alt+L</source>
        <translation>&amp;Japanese	Alt+L</translation>
    </message>
    <message>
        <source>表示言語を英語に切り替えます</source>
        <translation>Switch the menus and later windows to Japanese</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Japanese</translation>
    </message>
    <message>
        <source>OpenGL(&amp;O)	Alt+K</source>
        <translation>&amp;OpenGL	Alt+K</translation>
    </message>
    <message>
        <source>OpenGL で描画します</source>
        <translation>Draw the 3D view with OpenGL</translation>
    </message>
    <message>
        <source>OpenGL</source>
        <translation>OpenGL</translation>
    </message>
    <message>
        <source>DirectX(&amp;D)	Alt+D</source>
        <translation>&amp;DirectX	Alt+D</translation>
    </message>
    <message>
        <source>DirectX 方式のソフトウェア描画に切り替えます</source>
        <translation>Draw the 3D view as Direct3D does, in software</translation>
    </message>
    <message>
        <source>DirectX</source>
        <translation>DirectX</translation>
    </message>
    <message>
        <source>全ﾓﾃﾞﾙを画面に収める(&amp;A)	F4</source>
        <translation>Frame &amp;All	F4</translation>
    </message>
    <message>
        <source>表示中の全てのモデルが 3D ビューに収まるようにカメラを動かします</source>
        <translation>Move the camera so that every visible model fills the 3D view</translation>
    </message>
    <message>
        <source>全モデルを画面に収める</source>
        <translation>Frame all</translation>
    </message>
    <message>
        <source>選択ﾓﾃﾞﾙを画面に収める(&amp;F)	F5</source>
        <translation>&amp;Frame Selected	F5</translation>
    </message>
    <message>
        <source>選択中のモデルが 3D ビューに収まるようにカメラを動かします</source>
        <translation>Move the camera so that the selected model fills the 3D view</translation>
    </message>
    <message>
        <source>選択モデルを画面に収める</source>
        <translation>Frame selected</translation>
    </message>
    <message>
        <source>ﾒｲﾝ ﾂｰﾙ ﾊﾞｰ(&amp;M)	Alt+A</source>
        <translation>&amp;Main Toolbar	Alt+A</translation>
    </message>
    <message>
        <source>メイン ツール バーの表示・非表示を切り替えます</source>
        <translation>Show or hide the main toolbar</translation>
    </message>
    <message>
        <source>メイン ツール バー</source>
        <translation>Main toolbar</translation>
    </message>
    <message>
        <source>ｺﾝﾄﾛｰﾙ ﾂｰﾙ ﾊﾞｰ(&amp;C)	Alt+B</source>
        <translation>&amp;Control Toolbar	Alt+B</translation>
    </message>
    <message>
        <source>コントロール ツール バーの表示・非表示を切り替えます</source>
        <translation>Show or hide the control toolbar</translation>
    </message>
    <message>
        <source>コントロール ツール バー</source>
        <translation>Control toolbar</translation>
    </message>
    <message>
        <source>ｽﾃｰﾀｽ ﾊﾞｰ(&amp;S)	Alt+J</source>
        <translation>&amp;Status Bar	Alt+J</translation>
    </message>
    <message>
        <source>ステータス バーの表示・非表示を切り替えます</source>
        <translation>Show or hide the status bar</translation>
    </message>
    <message>
        <source>ステータス バー</source>
        <translation>Status bar</translation>
    </message>
    <message>
        <source>目次(&amp;H)	Alt+I</source>
        <translation>&amp;Contents	Alt+I</translation>
    </message>
    <message>
        <source>ヘルプの目次を開きます</source>
        <translation>Open the contents of the manual</translation>
    </message>
    <message>
        <source>目次</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>Metasequoiaのホームページ(&amp;M)	Alt+G</source>
        <translation>&amp;Metasequoia Home Page	Alt+G</translation>
    </message>
    <message>
        <source>Metasequoia のホームページを開きます</source>
        <translation>Open the Metasequoia modeller&apos;s home page</translation>
    </message>
    <message>
        <source>Metasequoiaのホームページ</source>
        <translation>Metasequoia home page</translation>
    </message>
    <message>
        <source>Kinovela のﾊﾞｰｼﾞｮﾝ情報(&amp;A)...	Alt+Q</source>
        <translation>&amp;About Kinovela...	Alt+Q</translation>
    </message>
    <message>
        <source>プログラムの情報とバージョンを表示します</source>
        <translation>Show the program&apos;s version and its maker</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>ﾓﾃﾞﾙ追加(&amp;A)	Alt+X</source>
        <translation>&amp;Add Models...	Alt+X</translation>
    </message>
    <message>
        <source>Metasequoia ファイルのモデルを追加します</source>
        <translation>Add the models of a Metasequoia document under the selected model</translation>
    </message>
    <message>
        <source>モデル追加</source>
        <translation>Add models</translation>
    </message>
    <message>
        <source>ﾓﾃﾞﾙ削除(&amp;D)	Alt+Delete</source>
        <translation>&amp;Delete Model	Alt+Delete</translation>
    </message>
    <message>
        <source>選択中のモデルを削除します</source>
        <translation>Delete the selected model</translation>
    </message>
    <message>
        <source>モデル削除</source>
        <translation>Delete model</translation>
    </message>
    <message>
        <source>名前変更(&amp;C)	Alt+Z</source>
        <translation>Re&amp;name	Alt+Z</translation>
    </message>
    <message>
        <source>選択中のモデルの名前を変えます</source>
        <translation>Rename the selected model</translation>
    </message>
    <message>
        <source>名前変更</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>表示・非表示(&amp;V)	Alt+M</source>
        <translation>Show or &amp;Hide	Alt+M</translation>
    </message>
    <message>
        <source>選択中のモデルの表示・非表示を切り替えます</source>
        <translation>Show or hide the selected model</translation>
    </message>
    <message>
        <source>表示・非表示</source>
        <translation>Show or hide</translation>
    </message>
    <message>
        <source>デスクトップへの登録 (プログラム、ファイルの種類、アイコン) を削除します</source>
        <translation>Remove Kinovela&apos;s registration with your desktop (program entry, file types, icons)</translation>
    </message>
    <message>
        <source>登録の削除</source>
        <translation>Unregister from desktop</translation>
    </message>
</context>
<context>
    <name>ControlBar</name>
    <message>
        <source>現在のﾌﾚｰﾑ</source>
        <translation>Current frame</translation>
    </message>
    <message>
        <source>最後のﾌﾚｰﾑ</source>
        <translation>Last frame</translation>
    </message>
    <message>
        <source>1秒間のﾌﾚｰﾑ数</source>
        <translation>Frames per second</translation>
    </message>
</context>
<context>
    <name>Dialogs</name>
    <message>
        <source>ﾓﾃﾞﾙのｷｰﾌﾚｰﾑの追加・削除</source>
        <translation>Add or Delete Key Frames</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑ</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>選択中のﾓﾃﾞﾙのｷｰﾌﾚｰﾑを追加</source>
        <translation>Add a key frame to the selected model</translation>
    </message>
    <message>
        <source>全てのﾓﾃﾞﾙのｷｰﾌﾚｰﾑを追加</source>
        <translation>Add a key frame to all models</translation>
    </message>
    <message>
        <source>選択中のﾓﾃﾞﾙのｷｰﾌﾚｰﾑを削除</source>
        <translation>Delete the selected model&apos;s key frame</translation>
    </message>
    <message>
        <source>全てのﾓﾃﾞﾙのｷｰﾌﾚｰﾑを削除</source>
        <translation>Delete all models&apos; key frames</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑの挿入</source>
        <translation>Insert Frames</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑ目の後ろに</source>
        <translation>After frame</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑ追加</source>
        <translation>Frames to insert</translation>
    </message>
    <message>
        <source>ﾌﾚｰﾑの削除</source>
        <translation>Delete Frames</translation>
    </message>
    <message>
        <source>始点</source>
        <translation>From frame</translation>
    </message>
    <message>
        <source>終点</source>
        <translation>To frame</translation>
    </message>
    <message>
        <source>書き出す</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>ｱﾆﾒｰｼｮﾝｷｰ</source>
        <translation>Animation keys</translation>
    </message>
    <message>
        <source>移動・回転・ｽｹｰﾙ</source>
        <translation>Position, rotation, scale</translation>
    </message>
    <message>
        <source>行列</source>
        <translation>Matrix</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>1ﾌﾚｰﾑを</source>
        <translation>One frame lasts</translation>
    </message>
    <message>
        <source>倍</source>
        <comment>speed</comment>
        <translation>ticks</translation>
    </message>
    <message>
        <source>ｱﾆﾒｰｼｮﾝ速度</source>
        <translation>Animation speed</translation>
    </message>
    <message>
        <source>ﾃｸｽﾁｬのｸｵﾘﾃｨ</source>
        <translation>Texture quality</translation>
    </message>
    <message>
        <source>標準(ｻｲｽﾞ小)</source>
        <translation>Standard (smaller files)</translation>
    </message>
    <message>
        <source>高画質ﾃｸｽﾁｬ(ｻｲｽﾞ大)</source>
        <translation>High quality (larger files)</translation>
    </message>
    <message>
        <source>UV座標</source>
        <translation>Texture (UV) coordinates</translation>
    </message>
    <message>
        <source>座標系</source>
        <translation>Coordinate system</translation>
    </message>
    <message>
        <source>左手座標系</source>
        <translation>Left-handed</translation>
    </message>
    <message>
        <source>右手座標系</source>
        <translation>Right-handed</translation>
    </message>
    <message>
        <source>法線</source>
        <translation>Normals</translation>
    </message>
    <message>
        <source>ｶﾒﾗ</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>ﾗｲﾄ</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>ｽｹｰﾙ</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>倍</source>
        <comment>scale</comment>
        <translation>×</translation>
    </message>
    <message>
        <source>ｻﾝﾌﾟﾘﾝｸﾞ</source>
        <translation>Sampling</translation>
    </message>
    <message>
        <source>ｷｰﾌﾚｰﾑ</source>
        <translation>Key frames (and where the motion needs more)</translation>
    </message>
    <message>
        <source>全ﾌﾚｰﾑ</source>
        <translation>Every frame</translation>
    </message>
    <message>
        <source>ﾃｸｽﾁｬを埋め込む</source>
        <translation>Embed the textures</translation>
    </message>
    <message>
        <source>整数を入力してください。</source>
        <translation>Please enter a whole number.</translation>
    </message>
    <message>
        <source>数字を入力してください。</source>
        <translation>Please enter a number.</translation>
    </message>
</context>
<context>
    <name>Menu</name>
    <message>
        <source>ﾓﾃﾞﾙ(&amp;M)</source>
        <translation>&amp;Model</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>操作(&amp;O)</source>
        <translation>M&amp;ouse</translation>
    </message>
    <message>
        <source>変形(&amp;T)</source>
        <translation>&amp;Transform</translation>
    </message>
    <message>
        <source>制御(&amp;C)</source>
        <translation>&amp;Control</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
</context>
<context>
    <name>Messages</name>
    <message>
        <source>フレーム番号が範囲外です！</source>
        <translation>The frame number is out of range!</translation>
    </message>
    <message>
        <source>モデルを選択してください！</source>
        <translation>Please select a model!</translation>
    </message>
    <message>
        <source>警告 %d 件: </source>
        <translation>%d warnings: </translation>
    </message>
    <message>
        <source>キーフレームではないフレームの姿勢を変えました。キーフレームを追加しないと次の補間で元に戻ります。</source>
        <translation>The pose changed at a frame that is not a key frame. Add a key frame there, or the next interpolation will undo the change.</translation>
    </message>
    <message>
        <source>モデルが大きすぎて、ビューの奥行きに収まりきりません。</source>
        <translation>The models are too large to fit in the depth of the view.</translation>
    </message>
    <message>
        <source>次のテクスチャは保存先のフォルダからは見つからなくなります。</source>
        <translation>These textures will no longer be found from the folder the scene was saved in:</translation>
    </message>
    <message>
        <source>保存先の TEXTURE フォルダにコピーしますか?</source>
        <translation>Copy them into the TEXTURE folder there?</translation>
    </message>
    <message>
        <source>テクスチャのコピーで次の問題がありました:</source>
        <translation>Copying the textures ran into these problems:</translation>
    </message>
    <message>
        <source>書き出しは終わりましたが、次の点に注意してください:</source>
        <translation>The export is finished, but note the following:</translation>
    </message>
    <message>
        <source>Shockwave3Dフォーマットで保存</source>
        <translation>Save as Shockwave 3D</translation>
    </message>
    <message>
        <source>SDFファイルへの書き出しに失敗しました。</source>
        <translation>Writing the SDF file failed.</translation>
    </message>
    <message>
        <source>DirectXフォーマットで保存</source>
        <translation>Save as DirectX</translation>
    </message>
    <message>
        <source>xファイルへの書き出しに失敗しました。</source>
        <translation>Writing the .x file failed.</translation>
    </message>
    <message>
        <source>Kino3D&amp;x形式で保存</source>
        <translation>Save as Kino3D Package</translation>
    </message>
    <message>
        <source>Kino3D&amp;xファイルへの書き出しに失敗しました。</source>
        <translation>Writing the Kino3D package files failed.</translation>
    </message>
    <message>
        <source>VRML97フォーマットで保存</source>
        <translation>Save as VRML97</translation>
    </message>
    <message>
        <source>VRMLファイルへの書き出しに失敗しました。</source>
        <translation>Writing the VRML file failed.</translation>
    </message>
    <message>
        <source>Hot Soup Processorフォーマットで保存</source>
        <translation>Save as Hot Soup Processor</translation>
    </message>
    <message>
        <source>RayTrans Libraryフォーマットで保存</source>
        <translation>Save as RayTrans Library</translation>
    </message>
    <message>
        <source>RayTrans Libraryファイルへの書き出しに失敗しました。</source>
        <translation>Writing the RayTrans Library file failed.</translation>
    </message>
    <message>
        <source>Hフォーマットで保存</source>
        <translation>Save as C Header</translation>
    </message>
    <message>
        <source>glTF 2.0フォーマットで保存</source>
        <translation>Save as glTF 2.0</translation>
    </message>
    <message>
        <source>glTFファイルへの書き出しに失敗しました。</source>
        <translation>Writing the glTF file failed.</translation>
    </message>
    <message>
        <source>Shockwave3Dへの書き出しに失敗しました。</source>
        <translation>Converting to Shockwave 3D failed.</translation>
    </message>
    <message>
        <source>ファイルが見つからないか、この画像ファイルには対応していません！</source>
        <translation>The file was not found, or this kind of picture is not supported!</translation>
    </message>
    <message>
        <source>探したフォルダ:</source>
        <translation>Folders searched:</translation>
    </message>
    <message>
        <source>ほか %zu 個</source>
        <translation>and %zu more</translation>
    </message>
    <message>
        <source>Direct3D の作成に失敗しました。</source>
        <translation>Direct3D could not be created.</translation>
    </message>
    <message>
        <source>リサイズに失敗しました。</source>
        <translation>Resizing failed.</translation>
    </message>
    <message>
        <source>%1 の末尾以降にアクセスしようとしました。</source>
        <translation>An attempt was made to read past the end of %1.</translation>
    </message>
    <message>
        <source>%1 の内容が正しくないため、読み込めませんでした。</source>
        <translation>%1 could not be read because its contents are not valid.</translation>
    </message>
    <message>
        <source>%1 を開けませんでした。</source>
        <translation>%1 could not be opened.</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>現在のフレームは選択中のモデルのキーフレームです</source>
        <translation>The current frame is a key frame of the selected model</translation>
    </message>
    <message>
        <source>このビデオカードではDirectX9を使えません！</source>
        <translation>DirectX 9 cannot be used with this video card!</translation>
    </message>
    <message>
        <source>無題</source>
        <translation>Untitled</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 への変更を保存しますか?</source>
        <translation>Save the changes to %1?</translation>
    </message>
    <message>
        <source>レジストリを削除しました。</source>
        <translation>The desktop registration has been removed.</translation>
    </message>
    <message>
        <source>全ての形式(*.kvl *.mqo);;Kinovelaファイル(*.kvl);;Metasequoiaファイル Ver1.0/1.1(*.mqo)</source>
        <translation>All supported files (*.kvl *.mqo);;Kinovela scenes (*.kvl);;Metasequoia documents Ver 1.0/1.1 (*.mqo)</translation>
    </message>
    <message>
        <source>Metasequoiaファイル Ver1.0/1.1(*.mqo)</source>
        <translation>Metasequoia documents Ver 1.0/1.1 (*.mqo)</translation>
    </message>
    <message>
        <source>Kinovelaファイル(*.kvl);;Shockwave3Dファイル(*.w3d);;DirectXファイル(*.x);;Kino3Dファイル(*.k3d);;RayTrans Libraryファイル(*.mqs);;VRML97ファイル(*.wrl);;Hot Soup Processorファイル(*.mx);;ヘッダーファイル(*.h);;glTF 2.0 (*.gltf *.glb)</source>
        <translation>Kinovela scenes (*.kvl);;Shockwave 3D (*.w3d);;DirectX (*.x);;Kino3D packages (*.k3d);;RayTrans Library (*.mqs);;VRML97 worlds (*.wrl);;Hot Soup Processor models (*.mx);;C headers (*.h);;glTF 2.0 (*.gltf *.glb)</translation>
    </message>
</context>
<context>
    <name>TextureFolders</name>
    <message>
        <source>テクスチャ フォルダ</source>
        <translation>Texture Folders</translation>
    </message>
    <message>
        <source>テクスチャの画像は、このフォルダを上から順に探したあと、プログラムの TEXTURE フォルダ、開いたファイルのフォルダとその TEXTURE フォルダで探します。</source>
        <translation>Texture pictures are looked for in these folders from the top down, then in the program&apos;s TEXTURE folder, then in the folder of the opened file and its TEXTURE folder.</translation>
    </message>
    <message>
        <source>追加(&amp;A)...</source>
        <translation>&amp;Add...</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>上へ(&amp;U)</source>
        <translation>Move &amp;Up</translation>
    </message>
    <message>
        <source>下へ(&amp;N)</source>
        <translation>Move Dow&amp;n</translation>
    </message>
    <message>
        <source>テクスチャ フォルダの追加</source>
        <translation>Add a Texture Folder</translation>
    </message>
</context>
</TS>
