// Fenwire1: the application's one instance of the link control, reached by
// every module as the control of the port form. The application talks to it
// only through the control's automation interface (properties by name,
// events), as any host would.
#pragma once

#include <QObject>
#include <QString>

#include "link/control/fenwire_loader.h"

class QWidget;

namespace app {

class FenwireControl : public QObject {
    Q_OBJECT
public:
    // Creates a control through `api`: the loaded library's entry points, or
    // those linked into a test program.
    explicit FenwireControl(const fenwire::FenwireApi& api, QObject* parent = nullptr);
    ~FenwireControl() override;
    bool valid() const { return control_ != nullptr; }

    // Property access by name, converted as automation does. A put returns
    // the automation error (0 when none).
    int get(const char* name) const;
    float getFloat(const char* name) const;
    QString getText(const char* name) const;
    int32_t put(const char* name, int value);
    int32_t putFloat(const char* name, float value);
    int32_t putText(const char* name, const QString& value);
    QString errorDescription() const;

    // The control's window, for a form that shows it.
    QWidget* window();
    // Handles the control's pending messages, waiting up to timeoutMs for one.
    int processEvents(int timeoutMs);

signals:
    // The control's events, raised on the caller's thread as they fire.
    void Result(short iAction, short iCommand, short iResult);
    void Busy(short iBusy);
    void Notify(short whatEvent);
    void xPropertyChanged();
    void BusviewEnd();

private:
    int32_t dispid(const char* name) const;
    static void onEvent(void* context, int32_t dispid, int32_t argc, int16_t* args);

    fenwire::FenwireApi api_;
    void* control_ = nullptr;
};

// The instance the port form owns; null before the port form exists.
FenwireControl* Fenwire1();
void setFenwire1(FenwireControl* control);

}  // namespace app
