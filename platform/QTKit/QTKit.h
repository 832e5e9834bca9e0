// QTKit capture (see QTCaptureDevice.h, QTCaptureSession.h, QTCaptureMovieFileOutput.h).
#pragma once

#include <QTKit/QTCaptureDevice.h>
#include <QTKit/QTCaptureMovieFileOutput.h>
#include <QTKit/QTCaptureSession.h>
