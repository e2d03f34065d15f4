#pragma once
// Listening to the register's changes on a central server: a thread of its own
// holds a connection, built as every connection to the server
// (store/conexion_postgresql.h), that LISTENs on kCanalAbonados and tells each
// notification's account (the payload). A lost connection is tried again
// every second; once it is back, a change may have been missed: every account
// is told as changed (an empty account). Nothing here blocks the caller's
// thread. A window connects `cambio` to CatalogoAbonados::olvidar and reads
// the account again.

#include <QObject>
#include <QString>
#include <QThread>

namespace corvane {

class TrabajoEscucha;

class EscuchaAbonados : public QObject {
    Q_OBJECT
public:
    // `url`: the server, as --base gives it.
    explicit EscuchaAbonados(QString url, QObject* parent = nullptr);
    ~EscuchaAbonados() override;

    void iniciar();

Q_SIGNALS:
    // `cuenta` changed at some workstation; empty: any account may have
    // (an import, or a connection made again); kTodasLasCuentas: the general
    // instructions.
    void cambio(const QString& cuenta);
    // The connection was lost (`causa`: its failure number) or made again (0).
    void conexion(bool disponible, qint32 causa);

private:
    QThread hilo_;
    TrabajoEscucha* trabajo_;
};

} // namespace corvane
