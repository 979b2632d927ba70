#include "platform/DeviceWatcher.h"

#include <pulse/pulseaudio.h>

namespace wavein {

struct DeviceWatcher::Impl {
    std::function<void()> onChange;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    bool running = false;

    ~Impl() {
        if (loop != nullptr && running) {
            pa_threaded_mainloop_lock(loop);
            if (context != nullptr) {
                pa_context_set_subscribe_callback(context, nullptr, nullptr);
                pa_context_set_state_callback(context, nullptr, nullptr);
                pa_context_disconnect(context);
            }
            pa_threaded_mainloop_unlock(loop);
            pa_threaded_mainloop_stop(loop);
        }
        if (context != nullptr) {
            pa_context_unref(context);
        }
        if (loop != nullptr) {
            pa_threaded_mainloop_free(loop);
        }
    }

    static void OnState(pa_context* /*c*/, void* self) {
        pa_threaded_mainloop_signal(static_cast<Impl*>(self)->loop, 0);
    }

    static void OnEvent(pa_context* /*c*/, pa_subscription_event_type_t t, uint32_t /*idx*/,
                        void* self) {
        const auto kind = t & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        // A source's own changes (volume, running or suspended) leave the
        // list as it is.
        if ((t & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SOURCE &&
            (kind == PA_SUBSCRIPTION_EVENT_NEW || kind == PA_SUBSCRIPTION_EVENT_REMOVE)) {
            static_cast<Impl*>(self)->onChange();
        }
    }
};

DeviceWatcher::DeviceWatcher(std::function<void()> onChange) : impl_(std::make_unique<Impl>()) {
    impl_->onChange = std::move(onChange);
}

DeviceWatcher::~DeviceWatcher() = default;

bool DeviceWatcher::Start() {
    Impl& d = *impl_;
    d.loop = pa_threaded_mainloop_new();
    if (d.loop == nullptr) {
        return false;
    }
    d.context = pa_context_new(pa_threaded_mainloop_get_api(d.loop), "Vestrel device list");
    if (d.context == nullptr) {
        return false;
    }
    pa_context_set_state_callback(d.context, &Impl::OnState, &d);
    if (pa_threaded_mainloop_start(d.loop) < 0) {
        return false;
    }
    d.running = true;
    pa_threaded_mainloop_lock(d.loop);
    bool ok = pa_context_connect(d.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    while (ok) {
        const pa_context_state_t st = pa_context_get_state(d.context);
        if (st == PA_CONTEXT_READY) {
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(st)) {
            ok = false;
            break;
        }
        pa_threaded_mainloop_wait(d.loop);
    }
    if (ok) {
        pa_context_set_subscribe_callback(d.context, &Impl::OnEvent, &d);
        pa_operation* op =
            pa_context_subscribe(d.context, PA_SUBSCRIPTION_MASK_SOURCE, nullptr, nullptr);
        ok = op != nullptr;
        if (op != nullptr) {
            pa_operation_unref(op);
        }
    }
    pa_threaded_mainloop_unlock(d.loop);
    return ok;
}

} // namespace wavein
