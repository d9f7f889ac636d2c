// The output sink: where the conversion loop sends what it made of each line.
//
// The loop (convert_stream) reads a stream line by line, converts force and moment
// lines, and hands every line to one sink, in order:
//
//     sink.start(line_end)            once, after the first line was read
//     sink.write(original, converted) for every line the reader delivers
//     sink.finish()                   once, only when the whole input was read
//
// A sink decides what happens with the lines: the replacement sink writes them to the
// file that will replace the original (plain or gzip-compressed), the standard-output
// sink to standard output. Other sinks can count lines or show the differences. A sink
// must not keep the pointers it is given past the call.
#ifndef JOINT2SI_OUTPUT_SINK_H
#define JOINT2SI_OUTPUT_SINK_H

class OutputSink {
  public:
    virtual ~OutputSink() = default;

    /// Called once before the first write (also for an input without lines) with the
    /// line end the output should use: "\r\n" or "\n", the first line end of the input,
    /// or the system's when it had none; a text that lives as long as the process, so it
    /// may be kept. False when the sink cannot go on; the loop then
    /// stops and reports a write failure.
    virtual bool start(const char *line_end) = 0;

    /// Takes one line without its line end: `original` as the reader delivered it
    /// (comments removed) and `converted`, which is the same pointer when the line was
    /// not changed. False when the sink failed (the loop stops, a write failure).
    virtual bool write(const char *original, const char *converted) = 0;

    /// Completes the output after the last line of an input that was read whole (not
    /// called after a read failure). False when that failed (a write failure).
    virtual bool finish() = 0;
};

#endif
