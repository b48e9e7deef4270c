// Command ids of the menus, tool bars and accelerators. The editor's actions
// carry them; the document answers their enabled and checked state.
#pragma once

namespace kinovela {

enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_MOUSE_CAMERA = 32802,
    ID_MOUSE_MODEL = 32803,
    ID_MODE_MOVE = 32772,
    ID_MODE_ROTATE = 32773,
    ID_MODE_SCALE = 32805,
    ID_PLAY = 32780,
    ID_STOP = 32782,
    ID_NEXT_FRAME = 32784,
    ID_PREV_FRAME = 32786,
    ID_NEXT_KEY = 32785,
    ID_PREV_KEY = 32783,
    ID_FIRST_FRAME = 32779,
    ID_LAST_FRAME = 32781,
    ID_KEY_DIALOG = 32795,
    ID_KEY_ADD = 32787,
    ID_KEY_ADD_ALL = 32797,
    ID_KEY_DELETE = 32788,
    ID_KEY_DELETE_ALL = 32793,
    ID_INSERT_FRAMES = 32819,
    ID_DELETE_FRAMES = 32789,
    ID_SMOOTH = 32777,
    ID_CAMERA_RESET = 32827,
    ID_BACKGROUND = 32775,
    ID_MODEL_ADD = 32798,
    ID_MODEL_DELETE = 32799,
    ID_MODEL_RENAME = 32800,
    ID_MODEL_SHOW_HIDE = 32801,
    ID_COPY_ANIMATION = 32825,
    ID_PASTE_ANIMATION = 32826,
    ID_AUTO_KEY = 32850,
    ID_FRAME_ALL = 32851,
    ID_FRAME_SELECTED = 32852,
};

struct CommandState {
    bool enabled = true;
    bool checked = false;
    friend bool operator==(const CommandState&, const CommandState&) = default;
};

}  // namespace kinovela
