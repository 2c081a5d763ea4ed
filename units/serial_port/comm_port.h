// The serial port engine: owns an open serial device and the one I/O thread that does all of its
// reads, writes and event waits, and carries everything the thread learns to the window thread
// through a locked notification queue.
//
// The I/O thread waits on the device. When the wait reports events it posts, in this order: break
// (1026), line error (1029), event character (1033), ring (1030), then CTS (1027 on, 1034 off),
// DSR (1028/1035) and carrier detect (1031/1036) from one modem-status read; then it runs the read
// loop, which posts one byte notification (1032) per received byte in arrival order and a line
// error (1029) whenever clearing the errors reports a parity, framing or overrun error. The window
// thread drains the queue in order and fires one event per entry.
//
// Received bytes are queued as bytes, and the other notifications beside them with the place in
// the byte stream where they arose, so queueing costs a copy of each block the device hands out.
// The window thread is woken once per batch: a drain is posted only when the queue goes from empty
// to non-empty. A drain delivers one entry after another, each as its own event, but stops after
// a slice of a few milliseconds and posts itself again, so that input and painting waiting on the
// window thread are served in between. The queue is bounded: while it holds kQueueLimit bytes the
// I/O thread reads nothing more (the device keeps them, and a pseudo-terminal's writer waits), so
// a fast line cannot fill memory faster than the window shows it.
//
// Writes are handed to the I/O thread and the caller waits for the result. Nothing is purged
// before a write: bytes already received stay and are delivered in order, and bytes an earlier
// write left in the driver still go out.
//
// When the device vanishes (a USB adapter pulled out, a pseudo-terminal's far end closed) the I/O
// thread posts one line error (1029) and goes idle; from then on writes fail at once, so the
// window learns of the loss without waiting for the user's next action.
//
// Close stops and joins the I/O thread, releases the device and drops every queued entry, so no
// event fires for them afterwards. A write in progress does not hold it up: the close cancels the
// device's write, the writer gets a failure, and only the bytes the driver took have gone out.
// Destroying the engine closes it; a drain already posted to the window thread then finds nothing
// to do.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/serial.h"

namespace kesu::units {

// Notification codes of the queue.
inline constexpr int kNoteBreak = 1026;
inline constexpr int kNoteCtsOn = 1027;
inline constexpr int kNoteDsrOn = 1028;
inline constexpr int kNoteLineError = 1029;
inline constexpr int kNoteRing = 1030;
inline constexpr int kNoteRlsdOn = 1031;
inline constexpr int kNoteByte = 1032;
inline constexpr int kNoteEventChar = 1033;
inline constexpr int kNoteCtsOff = 1034;
inline constexpr int kNoteDsrOff = 1035;
inline constexpr int kNoteRlsdOff = 1036;

// Line errors that the read loop reports: overrun, parity and framing.
inline constexpr uint32_t kReportedLineErrors = 0x0E;

class CommPort {
  public:
    // Runs a task on the window thread later; callable from any thread, never blocking.
    using Poster = std::function<void(std::function<void()>)>;

    explicit CommPort(Poster post_to_window_thread);
    virtual ~CommPort();
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;

    // Takes an opened device; any device held before is closed first. The caller configures the
    // device through device() and then starts the thread.
    void Attach(std::unique_ptr<platform::SerialDevice> device);
    platform::SerialDevice* device() const { return device_.get(); }

    // Starts the I/O thread when a device is attached and no thread runs. True if it runs.
    bool StartThread();
    bool IsRunning() const;

    // Stops the I/O thread, releases the device, drops queued notifications. Idempotent.
    void Close();
    // Ends a write in progress at once with a failure, as Close does, for a caller that must first
    // wait for the writer to leave before it may close. The port stays attached but every later
    // write fails; the caller is expected to close it next.
    void CancelWrite();

    // The synchronous write: 0 when no thread runs or the length is negative, 1 at once for zero
    // bytes (the I/O thread is not disturbed), otherwise 1 when the device wrote everything
    // within its write time-outs. Concurrent callers are served one at a time. After the device
    // vanished, 0 for every length: the port is no longer open and running.
    int Write(const uint8_t* data, int64_t length);

    // Received bytes the queue holds at most before the I/O thread stops reading.
    static constexpr size_t kQueueLimit = 1 << 20;
    // The longest a drain delivers events before it lets the window thread do other work.
    static constexpr int kSliceMicroseconds = 8000;

  protected:
    // Called on the window thread by the drain, one call per queued entry.
    virtual void FireLineEvent(int code) = 0;
    virtual void FireDataEvent(uint8_t byte) = 0;

    // Must be called first thing by a derived destructor, so that no event reaches a
    // half-destroyed object.
    void Shutdown();

  private:
    // A notification other than a received byte, and how many queued bytes came before it.
    struct LineNote {
        size_t before;
        int32_t code;
    };
    // The entries in arrival order: line notes interleaved with the bytes by their positions.
    struct Entries {
        std::vector<uint8_t> bytes;
        std::vector<LineNote> lines;
        bool empty() const { return bytes.empty() && lines.empty(); }
        void clear() {
            bytes.clear();
            lines.clear();
        }
    };
    // Shared with drains already posted to the window thread, which may outlive the engine.
    struct Queue {
        std::mutex mutex;
        std::condition_variable room;  // the I/O thread waits here while the queue is full
        Entries queued;
        bool drainPosted = false;
        // Raised by a stop or a write request, so that an I/O thread waiting for room goes back
        // to its loop to answer it.
        std::atomic<bool> attention{false};
        // Counts closes: a batch taken before a close is dropped, not delivered.
        std::atomic<uint32_t> generation{0};
        std::atomic<CommPort*> owner{nullptr};
        Poster post;

        // Window thread only: the batch being delivered, and how far.
        Entries batch;
        size_t nextByte = 0;
        size_t nextLine = 0;
        uint32_t batchGeneration = 0;
        bool draining = false;
    };

    static void Drain(const std::shared_ptr<Queue>& queue);
    // Delivers from the batch until it is done or the slice is over; false if the owner went.
    static bool DeliverSlice(Queue& queue);
    static void PostDrainLocked(const std::shared_ptr<Queue>& queue, bool& post_now);
    void CallAttention();

    void ThreadMain();
    // `may_wait`: the read loop may wait for room in a full queue (not while a write waits).
    void HandleEvents(uint32_t events, bool may_wait);
    void ReadLoop(bool may_wait);
    void WriteRequested();
    void Post(int code, int value = 0);
    void PostBytes(const uint8_t* bytes, size_t count);
    void StopThread();
    void CloseLocked();

    std::shared_ptr<Queue> queue_;
    std::unique_ptr<platform::SerialDevice> device_;
    std::thread thread_;

    // Attaching, starting and closing run one at a time, whichever threads call them (a unit's
    // window may go on the window thread while a worker closes the port).
    std::mutex lifecycle_;
    std::mutex write_serial_;  // one write request at a time, from filling to the result

    // The write handshake and the stop request, between callers and the I/O thread.
    mutable std::mutex control_;
    std::condition_variable write_done_cv_;
    bool running_ = false;
    bool stop_ = false;
    bool write_requested_ = false;
    bool write_done_ = false;
    bool lost_ = false;  // the device vanished; the thread idles until it is stopped
    int write_result_ = 0;
    std::vector<uint8_t> write_buffer_;
};

}  // namespace kesu::units
