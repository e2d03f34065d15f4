#pragma once
// Where the windows put their controls, worked out in twips (1/1440 inch) from
// the sizes that the windows read at load. Pure arithmetic in single precision,
// so the rules can be checked on any screen size without a window.

namespace corvane {

inline constexpr float kTwipsPorPulgada = 1440.0f;

// Pixels for a length in twips at `dpi` logical dots per inch, rounded.
int twips_a_px(float twips, int dpi);
// Twips for a length in pixels at `dpi`.
float px_a_twips(int px, int dpi);

struct RectTwips {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// What the main window's layout reads. W and H are the inside of the window, L
// the label column of the query panel; the rest are the controls' own sizes,
// by default as designed.
struct MedidasForm1 {
    float W = 0;
    float H = 0;
    float L = 0;
    float altoFrame1 = 2295;
    float arribaElastic1 = 240;
    float anchoElastic1 = 5415;
    float altoElastic1 = 1335;
    float altoText4 = 390;
    float altoCommand2 = 495;
    float altoText3 = 285;
    float altoCombo2_0 = 360;
    float altoCombo2_1 = 360;
    float altoDTPicker1 = 375;
    float anchoCommand3 = 3255;
    float altoCommand3 = 495;
};

// Every rectangle relative to its parent, as the layout leaves it.
struct DisposicionForm1 {
    RectTwips frame1, vsElastic1, text4;
    RectTwips frame2, command2, text1;
    RectTwips frame3, vsElastic2, text2;
    RectTwips text3, combo2_0, combo2_1, dtPicker1, command3;
};

// The main window's layout: the port frame at the top of the left half with its
// fixed height, the online log frame under it down to 340 above the bottom, the
// query frame over the right half at the full height of the other two (its right
// edge 120 past the inside, as it always was), and in the query panel the account
// box, origin list, date picker and search button stacked 40 apart.
DisposicionForm1 disponer_form1(const MedidasForm1& m);

// The export button of the query panel: right of the search button
// (`d.command3`), on its row and of its height, `ancho` wide, cut to the room
// the panel leaves 120 from its edge; never negative. Nothing else moves.
RectTwips disponer_boton_exportar(const DisposicionForm1& d, float ancho);

// What the online account window's layout reads: its inside height (the screen's
// height less 1000), the top of the log frame and the height of the buttons.
struct MedidasForm2 {
    float altoInterior = 0;
    float arribaFrame2 = 840;
    float altoBoton = 495;
};

struct DisposicionForm2 {
    float altoFrame2 = 0;
    float altoText2 = 0;
    float arribaBotones = 0; // both buttons, one row
};

// The log frame reaches down to two button heights above the bottom; the buttons
// stand half a button's height under it.
DisposicionForm2 disponer_form2(const MedidasForm2& m);

// How much shorter than the screen the online account window is, in twips.
inline constexpr float kRecorteAltoForm2 = 1000;

// The main window's button that opens the alarm window: in the port frame, right
// of the port panel (`d.vsElastic1`), on the row of the panel's buttons
// (`command4`, relative to the panel) and of their size, cut to the room the
// frame leaves; no wider than that room, never negative.
RectTwips disponer_boton_alarmas(const DisposicionForm1& d, const RectTwips& command4);

// What the alarm window's layout reads: its inside (fixed, as designed) and the
// height of its buttons.
struct MedidasAlarmas {
    float ancho = 14400;
    float alto = 7200;
    float altoBoton = 495;
};

struct DisposicionAlarmas {
    RectTwips lista;
    RectTwips reconocer;      // bottom left
    RectTwips reconocerTodas; // bottom right
};

// The list fills the window 120 from its edges down to the row of buttons, which
// stand half a button's height above the bottom, "Reconocer" on the left and
// "Reconocer todas" on the right.
DisposicionAlarmas disponer_alarmas(const MedidasAlarmas& m);

} // namespace corvane
