#include "plugin/action_table.h"

const ActionInfo ACTIONS[ACTION_COUNT] = {
    {ACTION_CREATE_CANVAS,
     u"kiv_CreateCanvas",
     u"Prepara un objeto Rectángulo con un color de fondo.",
     2,
     {PARAM_OBJECT, PARAM_TEXT}},
    {ACTION_DRAW_CIRCLE,
     u"kiv_DrawCircle",
     u"Dibuja un círculo en el lienzo.",
     5,
     {PARAM_OBJECT, PARAM_NUMBER, PARAM_NUMBER, PARAM_NUMBER, PARAM_TEXT}},
    {ACTION_CLEAR_CANVAS,
     u"kiv_ClearCanvas",
     u"Borra todo el contenido del lienzo.",
     1,
     {PARAM_OBJECT}},
    {ACTION_DRAW_TEXT,
     u"kiv_DrawText",
     u"Dibuja texto con fuente, tamaño y colores personalizados.",
     7,
     {PARAM_OBJECT, PARAM_TEXT, PARAM_NUMBER, PARAM_NUMBER, PARAM_TEXT, PARAM_TEXT, PARAM_TEXT}},
};

const ActionInfo* findAction(int id) {
    return id >= 1 && id <= ACTION_COUNT ? &ACTIONS[id - 1] : nullptr;
}

const char16_t* const PLUGIN_TITLE = u"KivCanvas 2D (Final)";
const char16_t* const PLUGIN_AUTHOR = u"Kiv SDK Examples";
const char16_t* const PLUGIN_DESCRIPTION = u"Permite dibujar formas y texto dentro de rectángulos.";
