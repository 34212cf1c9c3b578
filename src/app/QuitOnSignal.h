#pragma once

// Makes SIGTERM, SIGINT and SIGHUP end the event loop normally, so that the program shuts down
// in order (engine, controller, video items) instead of dying mid-write.
void quitApplicationOnTerminationSignals();
