#include "platform/DeviceWatcher.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace wavein {

// Everything below runs on the main loop's thread, or with its lock held.
struct DeviceWatcher::Impl {
    std::function<void(Change)> onChange;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_time_event* retry = nullptr;
    int retryMs = kFirstRetryMs;
    bool running = false;
    bool everReady = false; // a later connection is the server coming back
    bool ready = false;
    bool settled = false;     // the first attempt has succeeded or failed
    bool settledOnce = false; // Start() has returned

    ~Impl() {
        if (loop != nullptr && running) {
            pa_threaded_mainloop_lock(loop);
            CancelRetry();
            DropContext();
            pa_threaded_mainloop_unlock(loop);
            pa_threaded_mainloop_stop(loop);
        }
        DropContext();
        if (loop != nullptr) {
            pa_threaded_mainloop_free(loop);
        }
    }

    pa_mainloop_api* Api() const { return pa_threaded_mainloop_get_api(loop); }

    void DropContext() {
        if (context == nullptr) {
            return;
        }
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_set_state_callback(context, nullptr, nullptr);
        if (PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
            pa_context_disconnect(context);
        }
        pa_context_unref(context);
        context = nullptr;
    }

    void CancelRetry() {
        if (retry != nullptr) {
            Api()->time_free(retry);
            retry = nullptr;
        }
    }

    void Connect() {
        DropContext();
        context = pa_context_new(Api(), "Vestrel device list");
        if (context == nullptr) {
            Failed();
            return;
        }
        pa_context_set_state_callback(context, &Impl::OnState, this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            Failed();
        }
    }

    // No server, or it went away: try again later, each wait twice the
    // last up to the longest, never in a tight loop.
    void Failed() {
        const bool wasReady = ready;
        ready = false;
        settled = true;
        pa_threaded_mainloop_signal(loop, 0);
        if (wasReady) {
            retryMs = kFirstRetryMs;
            onChange(Change::ServerLost);
        }
        if (retry != nullptr) {
            return;
        }
        timeval when{};
        pa_gettimeofday(&when);
        pa_timeval_add(&when, static_cast<pa_usec_t>(retryMs) * 1000);
        retry = Api()->time_new(Api(), &when, &Impl::OnRetry, this);
        retryMs = std::min(retryMs * 2, kLongestRetryMs);
    }

    static void OnRetry(pa_mainloop_api* api, pa_time_event* e, const timeval* /*tv*/, void* self) {
        auto* d = static_cast<Impl*>(self);
        api->time_free(e);
        d->retry = nullptr;
        d->Connect();
    }

    void Ready() {
        pa_context_set_subscribe_callback(context, &Impl::OnEvent, this);
        pa_operation* op =
            pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SOURCE, nullptr, nullptr);
        if (op == nullptr) {
            pa_context_disconnect(context); // the state callback retries
            return;
        }
        pa_operation_unref(op);
        ready = true;
        settled = true;
        retryMs = kFirstRetryMs;
        pa_threaded_mainloop_signal(loop, 0);
        if (everReady) {
            onChange(Change::ServerBack);
        } else if (settledOnce) {
            onChange(Change::Sources); // a server that was missing at start
        }
        everReady = true;
    }

    static void OnState(pa_context* c, void* self) {
        auto* d = static_cast<Impl*>(self);
        if (c != d->context) {
            return;
        }
        const pa_context_state_t st = pa_context_get_state(c);
        if (st == PA_CONTEXT_READY) {
            d->Ready();
        } else if (!PA_CONTEXT_IS_GOOD(st)) {
            d->Failed();
        }
    }

    static void OnEvent(pa_context* /*c*/, pa_subscription_event_type_t t, uint32_t /*idx*/,
                        void* self) {
        const auto kind = t & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        // A source's own changes (volume, running or suspended) leave the
        // list as it is.
        if ((t & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) == PA_SUBSCRIPTION_EVENT_SOURCE &&
            (kind == PA_SUBSCRIPTION_EVENT_NEW || kind == PA_SUBSCRIPTION_EVENT_REMOVE)) {
            static_cast<Impl*>(self)->onChange(Change::Sources);
        }
    }
};

DeviceWatcher::DeviceWatcher(std::function<void(Change)> onChange)
    : impl_(std::make_unique<Impl>()) {
    impl_->onChange = std::move(onChange);
}

DeviceWatcher::~DeviceWatcher() = default;

bool DeviceWatcher::Start() {
    Impl& d = *impl_;
    d.loop = pa_threaded_mainloop_new();
    if (d.loop == nullptr) {
        return false;
    }
    if (pa_threaded_mainloop_start(d.loop) < 0) {
        return false;
    }
    d.running = true;
    pa_threaded_mainloop_lock(d.loop);
    d.Connect();
    while (!d.settled) {
        pa_threaded_mainloop_wait(d.loop);
    }
    const bool ok = d.ready;
    d.settledOnce = true;
    pa_threaded_mainloop_unlock(d.loop);
    return ok;
}

} // namespace wavein
