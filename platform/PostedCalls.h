#pragma once

#include <QObject>

#include <functional>

class QEvent;

// Qt's event queue orders a posted event before its delivery, but Qt is not
// built with ThreadSanitizer, which then cannot see that order: these say it.
// `Posted` on the posting thread once the event is made, `Delivered` on the
// receiving one before the event is read.
namespace thread_order {
void Posted(QEvent* e);
void Delivered(QEvent* e);
} // namespace thread_order

// Calls handed from a worker thread to this object's thread through Qt's
// event queue; calls still queued die with the object.
class PostedCalls : public QObject {
public:
    PostedCalls();

    // Any thread: `call` runs later on this object's thread.
    void Post(std::function<void()> call);
    // This object's thread: runs the calls posted so far.
    void RunPosted();

protected:
    bool event(QEvent* e) override;
};
