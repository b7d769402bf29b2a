#include "media/playback/RecordingSource.h"

#include <gst/base/gstbasesrc.h>
#include <mutex>

namespace {

struct QuillentRecSrc {
    GstBaseSrc parent;
    std::shared_ptr<RecordingBytes>* bytes; // owned; null until given
};

struct QuillentRecSrcClass {
    GstBaseSrcClass parentClass;
};

GType quillentRecSrcType();
QuillentRecSrc* asRecSrc(gpointer p) {
    return G_TYPE_CHECK_INSTANCE_CAST(p, quillentRecSrcType(), QuillentRecSrc);
}

GstStaticPadTemplate kSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

gpointer g_parentClass = nullptr;

void recSrcFinalize(GObject* object) {
    QuillentRecSrc* self = asRecSrc(object);
    delete self->bytes;
    self->bytes = nullptr;
    G_OBJECT_CLASS(g_parentClass)->finalize(object);
}

gboolean recSrcStart(GstBaseSrc* base) {
    QuillentRecSrc* self = asRecSrc(base);
    if (!self->bytes || !*self->bytes) {
        GST_ELEMENT_ERROR(base, RESOURCE, OPEN_READ, ("No recording to read."), (nullptr));
        return FALSE;
    }
    return TRUE;
}

gboolean recSrcStop(GstBaseSrc*) {
    return TRUE;
}

gboolean recSrcIsSeekable(GstBaseSrc*) {
    return TRUE;
}

gboolean recSrcGetSize(GstBaseSrc* base, guint64* size) {
    QuillentRecSrc* self = asRecSrc(base);
    if (!self->bytes || !*self->bytes)
        return FALSE;
    *size = (*self->bytes)->size();
    return TRUE;
}

GstFlowReturn recSrcFill(GstBaseSrc* base, guint64 offset, guint length, GstBuffer* buffer) {
    QuillentRecSrc* self = asRecSrc(base);
    RecordingBytes& bytes = **self->bytes;
    if (offset >= bytes.size())
        return GST_FLOW_EOS;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE))
        return GST_FLOW_ERROR;
    int64_t got = bytes.read(offset, map.data, std::min<size_t>(length, map.size));
    gst_buffer_unmap(buffer, &map);
    if (got < 0) {
        GST_ELEMENT_ERROR(base, RESOURCE, READ, ("The recording could not be read."), (nullptr));
        return GST_FLOW_ERROR;
    }
    if (got == 0)
        return GST_FLOW_EOS;
    gst_buffer_resize(buffer, 0, got);
    GST_BUFFER_OFFSET(buffer) = offset;
    GST_BUFFER_OFFSET_END(buffer) = offset + static_cast<guint64>(got);
    return GST_FLOW_OK;
}

void recSrcClassInit(gpointer klass, gpointer) {
    g_parentClass = g_type_class_peek_parent(klass);
    GObjectClass* objectClass = G_OBJECT_CLASS(klass);
    GstElementClass* elementClass = GST_ELEMENT_CLASS(klass);
    GstBaseSrcClass* baseClass = GST_BASE_SRC_CLASS(klass);
    objectClass->finalize = recSrcFinalize;
    gst_element_class_add_static_pad_template(elementClass, &kSrcTemplate);
    gst_element_class_set_static_metadata(elementClass, "Quillent recording source", "Source/File",
                                          "Reads a dashboard camera recording through its repaired view",
                                          "Quillent");
    baseClass->start = recSrcStart;
    baseClass->stop = recSrcStop;
    baseClass->is_seekable = recSrcIsSeekable;
    baseClass->get_size = recSrcGetSize;
    baseClass->fill = recSrcFill;
}

void recSrcInit(GTypeInstance* instance, gpointer) {
    QuillentRecSrc* self = reinterpret_cast<QuillentRecSrc*>(instance);
    self->bytes = nullptr;
    gst_base_src_set_format(GST_BASE_SRC(instance), GST_FORMAT_BYTES);
    // Demuxers pull blocks of their own size; 64 KiB keeps push-mode reads efficient too.
    gst_base_src_set_blocksize(GST_BASE_SRC(instance), 64 * 1024);
}

GType quillentRecSrcType() {
    static GType type = [] {
        GTypeInfo info{};
        info.class_size = sizeof(QuillentRecSrcClass);
        info.class_init = recSrcClassInit;
        info.instance_size = sizeof(QuillentRecSrc);
        info.instance_init = recSrcInit;
        return g_type_register_static(GST_TYPE_BASE_SRC, "QuillentRecSrc", &info, GTypeFlags(0));
    }();
    return type;
}

} // namespace

void registerRecordingSource() {
    static std::once_flag once;
    std::call_once(once, [] {
        gst_element_register(nullptr, kRecordingSourceFactory, GST_RANK_NONE, quillentRecSrcType());
    });
}

void setRecordingSourceBytes(GstElement* element, std::shared_ptr<RecordingBytes> bytes) {
    QuillentRecSrc* self = asRecSrc(element);
    delete self->bytes;
    self->bytes = new std::shared_ptr<RecordingBytes>(std::move(bytes));
}
