// The sweep of the kernels' fast paths against their double-double paths
// (tarquel-bench --sweep): see kernel_sweep.cpp.
#pragma once

// Runs the sweep on count arguments and prints the counts; 0 when no fast
// result differs from the double-double path's, 1 otherwise.
int runKernelSweep(long count);
