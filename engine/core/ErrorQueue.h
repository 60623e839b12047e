#pragma once

class OrvellError;

// Queues an error for the GUI, which shows what the engine queued after it opened a song (and
// after a run). For failures that must not stop the operation that met them: a song with one
// damaged track still opens. Any thread may call it.
void QueueEngineError(const OrvellError& error);
