#include "ui/dialogo_turno.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "consola/turno.h"
#include "operadores/operadores.h"
#include "ui/estilo.h"

namespace corvane {

DialogoTurno::DialogoTurno(Turno& turno, QWidget* parent) : QDialog(parent), turno_(turno) {
    setObjectName(QStringLiteral("DialogoTurno"));
    setWindowTitle(QStringLiteral("Iniciar turno"));
    usuario_ = new QLineEdit(this);
    usuario_->setObjectName(QStringLiteral("Usuario"));
    usuario_->setMaxLength(kLargoUsuario);
    clave_ = new QLineEdit(this);
    clave_->setObjectName(QStringLiteral("Clave"));
    clave_->setEchoMode(QLineEdit::Password);
    for (QLineEdit* campo : {usuario_, clave_}) {
        campo->setFont(fuente_consola(false));
        caja_blanca(campo);
    }
    mensaje_ = new QLabel(this);
    mensaje_->setObjectName(QStringLiteral("Mensaje"));
    mensaje_->setFont(fuente_consola(true));
    mensaje_->setWordWrap(true);
    QPalette paleta = mensaje_->palette();
    paleta.setColor(QPalette::WindowText, kRojoAlerta);
    mensaje_->setPalette(paleta);
    mensaje_->hide();

    auto* botones = new QDialogButtonBox(this);
    aceptar_ = botones->addButton(QStringLiteral("Iniciar turno"), QDialogButtonBox::AcceptRole);
    aceptar_->setObjectName(QStringLiteral("Aceptar"));
    aceptar_->setDefault(true);
    QPushButton* cancelar =
        botones->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancelar->setObjectName(QStringLiteral("Cancelar"));
    // The accept role is checked here; only an accepted sign-in closes the dialog.
    connect(aceptar_, &QPushButton::clicked, this, &DialogoTurno::Aceptar_Click);
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* campos = new QFormLayout;
    campos->addRow(QStringLiteral("Usuario"), usuario_);
    campos->addRow(QStringLiteral("Contraseña"), clave_);
    auto* todo = new QVBoxLayout(this);
    todo->addLayout(campos);
    todo->addWidget(mensaje_);
    todo->addWidget(botones);
    setMinimumWidth(
        QFontMetrics(fuente_consola(false)).horizontalAdvance(QString(44, QLatin1Char('M'))));
}

void DialogoTurno::Aceptar_Click() {
    QString clave = clave_->text();
    const Turno::Intento r = turno_.iniciar(usuario_->text().trimmed(), clave);
    clave.fill(QLatin1Char('\0'));
    clave_->clear();
    if (r.aceptado) {
        usuario_->clear();
        accept();
        return;
    }
    mensaje_->setText(r.mensaje);
    mensaje_->show();
    clave_->setFocus();
}

void DialogoTurno::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    mensaje_->clear();
    mensaje_->hide();
    clave_->clear();
    (usuario_->text().isEmpty() ? usuario_ : clave_)->setFocus();
}

} // namespace corvane
