#include "ui/disposicion.h"

#include <algorithm>
#include <cmath>

namespace corvane {

int twips_a_px(float twips, int dpi) {
    return static_cast<int>(std::lround(twips * static_cast<float>(dpi) / kTwipsPorPulgada));
}

float px_a_twips(int px, int dpi) {
    return static_cast<float>(px) * kTwipsPorPulgada / static_cast<float>(dpi);
}

DisposicionForm1 disponer_form1(const MedidasForm1& m) {
    DisposicionForm1 d;
    // Each step reads what the earlier steps set.
    d.frame1 = {120, 0, m.W * 0.5f, m.altoFrame1};
    d.vsElastic1 = {d.frame1.width / 2 - m.anchoElastic1 / 2, m.arribaElastic1, m.anchoElastic1,
                    m.altoElastic1};
    d.text4 = {120, d.vsElastic1.top + d.vsElastic1.height + 120, d.frame1.width - 240,
               m.altoText4};
    d.frame2 = {120, d.frame1.height, d.frame1.width, m.H - d.frame1.height - 240 - 100};
    d.command2 = {120, 240, d.frame2.width - 240, m.altoCommand2};
    d.text1 = {120, d.command2.top + d.command2.height, d.frame2.width - 240,
               d.frame2.height - 360 - d.command2.height};
    d.frame3 = {d.frame1.width + 120, 0, m.W - d.frame2.width, d.frame2.height + d.frame1.height};
    d.vsElastic2 = {120, 240, d.frame3.width - 240,
                    m.altoCombo2_0 + m.altoText3 + 240 + m.altoCommand3 + m.altoDTPicker1};
    d.text2 = {120, d.vsElastic2.height + 240, d.frame3.width - 240,
               d.frame3.height - 360 - d.vsElastic2.height};
    const float anchoCampo = d.vsElastic2.width - m.L - 240;
    d.text3 = {m.L, 0, anchoCampo, m.altoText3};
    d.combo2_0 = {m.L, d.text3.height + 40, anchoCampo, m.altoCombo2_0};
    // The origin list takes the hidden signal list's place under the account box.
    d.combo2_1 = {d.combo2_0.left, d.combo2_0.top, d.combo2_0.width, m.altoCombo2_1};
    d.dtPicker1 = {m.L, d.combo2_1.top + d.combo2_1.height + 40, anchoCampo, m.altoDTPicker1};
    d.command3 = {d.vsElastic2.width / 2 - m.anchoCommand3 / 2,
                  d.dtPicker1.top + d.dtPicker1.height + 40, m.anchoCommand3, m.altoCommand3};
    return d;
}

DisposicionForm2 disponer_form2(const MedidasForm2& m) {
    DisposicionForm2 d;
    d.altoFrame2 = m.altoInterior - 2 * m.altoBoton - m.arribaFrame2;
    d.altoText2 = d.altoFrame2 - 360;
    d.arribaBotones = m.arribaFrame2 + d.altoFrame2 + m.altoBoton / 2;
    return d;
}

RectTwips disponer_boton_alarmas(const DisposicionForm1& d, const RectTwips& command4) {
    const float left = d.vsElastic1.left + d.vsElastic1.width + 240;
    const float sitio = std::max(0.0f, d.frame1.width - 120 - left);
    return {left, d.vsElastic1.top + command4.top, std::min(command4.width, sitio), command4.height};
}

RectTwips disponer_boton_exportar(const DisposicionForm1& d, float ancho) {
    const float left = d.command3.left + d.command3.width + 120;
    const float sitio = std::max(0.0f, d.vsElastic2.width - 120 - left);
    return {left, d.command3.top, std::min(ancho, sitio), d.command3.height};
}

DisposicionAlarmas disponer_alarmas(const MedidasAlarmas& m) {
    constexpr float kMargen = 120;
    constexpr float kAnchoBoton = 2895;
    DisposicionAlarmas d;
    const float arribaBotones = m.alto - m.altoBoton - m.altoBoton / 2;
    d.lista = {kMargen, kMargen, m.ancho - 2 * kMargen, arribaBotones - m.altoBoton / 2 - kMargen};
    d.reconocer = {kMargen, arribaBotones, kAnchoBoton, m.altoBoton};
    d.reconocerTodas = {m.ancho - kMargen - kAnchoBoton, arribaBotones, kAnchoBoton, m.altoBoton};
    return d;
}

} // namespace corvane
