// Built with the include paths that zqvideo, zqchip and the window tests
// get: libzqscan's internal headers must be out of their reach, so that
// nothing but the public interface can be used from there.
#define ZQ_INTERNAL_VISIBLE(header) __has_include(header)

#if ZQ_INTERNAL_VISIBLE("seam.h") || ZQ_INTERNAL_VISIBLE("sys.h")
#error "libzqscan's seam is visible to the programs"
#endif
#if ZQ_INTERNAL_VISIBLE("sdk_internal.h") || ZQ_INTERNAL_VISIBLE("zq_opencv_internal.h")
#error "the SDK's or the image processing's internals are visible to the programs"
#endif
#if ZQ_INTERNAL_VISIBLE("picture_kernels.h") || ZQ_INTERNAL_VISIBLE("czqpdf.h")
#error "the scanner module's internals are visible to the programs"
#endif
