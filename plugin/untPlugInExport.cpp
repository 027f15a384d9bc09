// export
