#pragma once

// Marks the classes, functions and data that libpalkeng.so exports; everything else in the
// library is built with hidden visibility.
#define PALKENG_API __attribute__((visibility("default")))
