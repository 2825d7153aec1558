#pragma once
// CPU time consumed so far, in seconds: by the calling thread, and by the whole process.
double thread_cpu_seconds();
double process_cpu_seconds();
