/* Fenwire, the HART link control: its plain C interface.
 *
 * Any host drives the control through these calls: C++ or a scripting
 * language through its foreign-function interface. No C++ type crosses here.
 * Properties and methods are addressed by their DISPIDs (fenwire_dispids.h);
 * events reach the host through fw_advise, bound-property change reports
 * through fw_advise_changes. Everything runs on the thread that created the
 * control; replies from the line are delivered as messages, handled whenever
 * the host's Qt event loop runs or the host calls fw_process_events.
 */
#ifndef FENWIRE_H
#define FENWIRE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FW_EXPORT __attribute__((visibility("default")))

typedef struct fw_variant {
    int32_t vt;       /* 0 empty, 2 short, 3 long, 4 float, 8 string (the COM type codes) */
    int32_t i4;       /* the value of a short or a long */
    float r4;         /* the value of a float */
    const char *str;  /* the value of a string, UTF-8; a string returned by fw_get stays valid until the next call on the same control */
} fw_variant;
typedef void (*fw_event_fn)(void *context, int32_t dispid, int32_t argc, int16_t *args); /* args by reference: the host may change them */
typedef void (*fw_change_fn)(void *context, int32_t dispid);                           /* bound-property change notification */
/* A frame seen on the line: origin 0 sent by this control, 1 came off the line;
 * the line bytes, preambles included, valid only during the call; the error the
 * driver found (0 none, 1 bad checksum, 2 line fell silent inside the frame,
 * 3 reply without status bytes); the count of preamble bytes at the start;
 * milliseconds since the line was opened when the frame ended. */
typedef void (*fw_frame_fn)(void *context, int32_t origin, const uint8_t *bytes, int32_t count, int32_t error,
                            int32_t preambles, uint32_t time_ms);

FW_EXPORT void   *fw_create(const char *progid);      /* "Fenwire.HartCtrl.1"; null on failure */
FW_EXPORT void    fw_release(void *control);
FW_EXPORT int32_t fw_get(void *control, int32_t dispid, fw_variant *out);        /* 0 on success, else an HRESULT such as 0x800A03E8 */
FW_EXPORT int32_t fw_put(void *control, int32_t dispid, const fw_variant *value); /* converts between the numeric types as an automation host would */
FW_EXPORT int32_t fw_invoke(void *control, int32_t dispid, int32_t *result);      /* methods without arguments: ShowDialog, AboutBox */
FW_EXPORT const char *fw_error_description(void *control);                        /* description of the last automation error */
FW_EXPORT void    fw_advise(void *control, fw_event_fn fn, void *context);
FW_EXPORT void    fw_advise_changes(void *control, fw_change_fn fn, void *context);
FW_EXPORT int32_t fw_process_events(int32_t timeout_ms); /* delivers pending messages, waiting up to timeout_ms for the first; returns how many */

/* Beyond the required surface. */

/* Every frame on the line, as the bus monitor sees it, whether or not the
 * bus monitor window is open: delivered on the control's thread while its
 * messages are handled, each frame once and in line order. A null fn stops
 * the calls. Inside the call the host may read the bytes and change or drop
 * its frame sink; it must not release the control nor handle the control's
 * messages (fw_process_events), which would hand the window later frames
 * before this one. */
FW_EXPORT void    fw_advise_frames(void *control, fw_frame_fn fn, void *context);

/* The container's ambient user mode: nonzero at run time (the default), 0 at design time. */
FW_EXPORT void    fw_set_user_mode(void *control, int32_t user_mode);
/* Looks a property up by name ("cComPort"); -1 when there is none. */
FW_EXPORT int32_t fw_dispid_of(const char *name);
/* The name of a DISPID, or null. */
FW_EXPORT const char *fw_name_of(int32_t dispid);

/* Design-time display: the label of a property's current value ("1:COM  1"),
 * null for properties without labels; the pick list of a property (count and
 * entries); and a put of a picked value, refused outside the property's range. */
FW_EXPORT const char *fw_display_string(void *control, int32_t dispid);
FW_EXPORT int32_t fw_predefined_count(void *control, int32_t dispid);
FW_EXPORT const char *fw_predefined_string(void *control, int32_t dispid, int32_t index);
FW_EXPORT int32_t fw_predefined_value(void *control, int32_t dispid, int32_t index);
FW_EXPORT int32_t fw_put_predefined(void *control, int32_t dispid, int32_t value);

/* Persistence (property exchange): the saved properties as "key=value" lines,
 * and loading them back. Only "ComMode" is kept. */
FW_EXPORT const char *fw_save_properties(void *control);
FW_EXPORT int32_t fw_load_properties(void *control, const char *text);

/* The control's 32 by 32 window as a QWidget*, created on first use and
 * owned by the control; a Qt host may embed it (reparent) in its form. */
FW_EXPORT void   *fw_window(void *control);
/* The properties verb: shows the property page "General" modally. */
FW_EXPORT void    fw_show_property_page(void *control);

/* Self-registration in the per-user registry file. 0 (S_OK) on success. */
FW_EXPORT int32_t DllRegisterServer(void);
FW_EXPORT int32_t DllUnregisterServer(void);

#ifdef __cplusplus
}
#endif

#endif /* FENWIRE_H */
