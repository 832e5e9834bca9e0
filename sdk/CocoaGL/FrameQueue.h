// FrameQueue: the queue of frames of the asynchronous frame grabber. A frame queue controller
// keeps two, one of free frames and one of filled frames, made with emptyObjectQueue; frames
// go in with addNewestObject and come out, oldest first and owned by the caller, with
// copyAndRemoveOldestObject (null when the queue is empty). Every call takes the queue's
// lock, so the capture thread and the thread that fills frames share the pair.
//
// The queue is UFoundationObjectQueue of the Cocoa foundation kit and adds no behaviour. It
// lives in the OpenGL kit rather than beside FlushDescriptor in the graphics library: that
// library sits below the Cocoa foundation kits and is compiled into plug-ins without them.
#pragma once

#include <CocoaFoundation/UFoundationObjectQueue.h>

#include <memory>

template <typename Frame>
class FrameQueue : public UFoundationObjectQueue<Frame> {
public:
    // A new, empty frame queue: the base class's factory, answering this class (as the
    // class method it stands for answers an instance of the class it is sent to).
    static std::shared_ptr<FrameQueue> emptyObjectQueue() { return std::make_shared<FrameQueue>(); }
};

bool import_FrameQueue();
