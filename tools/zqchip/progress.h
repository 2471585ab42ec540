// Progress of a burn: a bar on a terminal, a line every 10% otherwise.
#ifndef ZQCHIP_PROGRESS_H
#define ZQCHIP_PROGRESS_H

namespace zqchip
{

class ProgressPrinter
{
  public:
    explicit ProgressPrinter(const char *what);
    ~ProgressPrinter();

    // The chip handle's callback; context is the printer.
    static void report(int done, int total, void *context);

  private:
    void show(int percent);

    const char *what_;
    bool terminal_;
    int shown_ = -1;
};

} // namespace zqchip

#endif
